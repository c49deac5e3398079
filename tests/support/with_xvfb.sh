#!/usr/bin/env bash
# Runs a command with DISPLAY set to a fresh virtual X server, which is
# stopped afterwards. Windows programs under Wine need a display for their
# message boxes and dialogs.
set -u
if [ -n "${ZUMT_XVFB_DISPLAY:-}" ]; then
    # Already inside one of ours: share it.
    exec "$@"
fi
command -v Xvfb >/dev/null || { echo "with_xvfb: Xvfb is missing (package xvfb)" >&2; exit 1; }
fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
xpid=$!
read -r -t 30 display <"$fifo"
rm -f "$fifo"
if [ -z "${display:-}" ]; then
    echo "with_xvfb: Xvfb did not start" >&2
    kill "$xpid" 2>/dev/null
    exit 1
fi
export DISPLAY=":$display"
export ZUMT_XVFB_DISPLAY=$DISPLAY
"$@"
rc=$?
kill "$xpid" 2>/dev/null
wait "$xpid" 2>/dev/null
exit $rc
