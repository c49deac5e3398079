#!/usr/bin/env bash
# zumt_hoehen.exe under Wine: a bad argument shows exactly one message box,
# captioned "Vodudad Avar", with the message text; the program waits for it
# and exits 1 once it has been closed. Run under tests/support/with_xvfb.sh.
set -u
exe=$1
log=$(mktemp)
trap 'rm -f "$log"' EXIT
WINEDEBUG=-all,+win wine "$exe" Test.ANL >/dev/null 2>"$log" &
pid=$!
wid=$(timeout 60 xdotool search --sync --name '^Vodudad Avar$' | head -n 1)
if [ -z "$wid" ]; then
    echo "FAIL: no message box captioned 'Vodudad Avar' appeared"
    kill "$pid" 2>/dev/null
    exit 1
fi
sleep 0.5
# Still running: the program waits for the user.
if ! kill -0 "$pid" 2>/dev/null; then
    echo "FAIL: the program ended before the message box was closed"
    exit 1
fi
xdotool key --window "$wid" Return
wait "$pid"
rc=$?
if [ "$rc" -ne 1 ]; then
    echo "FAIL: exit code $rc, expected 1"
    exit 1
fi
if ! grep -a -q 'set_window_text L"Falscher Dateityp: Test.ANL!\\n"' "$log"; then
    echo "FAIL: the message box did not show the expected text"
    grep -a set_window_text "$log" | head -n 5
    exit 1
fi
echo "message box shown with the expected text; exit code 1 after closing it"
