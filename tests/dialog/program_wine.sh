#!/usr/bin/env bash
# gen_zumt_ter.exe under Wine, as a user starts it: with a ".danl" as its
# argument it shows the dialog; Return presses the default button "OK", which
# stores the settings, generates the models and the layout, says where they
# went in a message box and ends the program with exit code 0 once that is
# closed. The title shows the progress meanwhile. Run
# under tests/support/with_xvfb.sh.
#
# Usage: program_wine.sh GEN_ZUMT_TER_EXE DEMO_FOLDER   (tests/data/dialog)
set -u
exe=$(realpath "$1")
demo=$(realpath "$2")
dir=$(mktemp -d)
log="$dir/wine.log"
trap 'rm -rf "$dir"' EXIT
fail() {
    echo "FAIL: $1"
    exit 1
}

mkdir "$dir/anlagen"
cp "$demo"/* "$dir/anlagen/" || fail "demo terrain not copied"
danl=$(winepath -w "$dir/anlagen/Demo.danl" 2>/dev/null)
[ -n "$danl" ] || fail "winepath"

WINEDEBUG=-all,+win wine "$exe" "$danl" >/dev/null 2>"$log" &
pid=$!
wid=$(timeout 60 xdotool search --sync --name '^ZUMT Landschaftgenerierung$' 2>/dev/null | head -n 1)
if [ -z "$wid" ]; then
    kill "$pid" 2>/dev/null
    fail "no dialog captioned 'ZUMT Landschaftgenerierung' appeared"
fi
sleep 1
kill -0 "$pid" 2>/dev/null || fail "the program ended before OK was pressed"
[ ! -e "$dir/anlagen/Demo.anl" ] || fail "a layout before OK"

xdotool key --window "$wid" Return 2>/dev/null
# Where everything went, in a message box the program waits for.
box=$(timeout 60 xdotool search --sync --name '^Vodudad Avar$' 2>/dev/null | head -n 1)
[ -n "$box" ] || { kill "$pid" 2>/dev/null; fail "no message box after OK"; }
sleep 0.5
xdotool key --window "$box" Return 2>/dev/null
for _ in $(seq 1 60); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 1
done
if kill -0 "$pid" 2>/dev/null; then
    kill "$pid" 2>/dev/null
    fail "the dialog did not end after OK"
fi
wait "$pid"
rc=$?
[ "$rc" = 0 ] || fail "exit code $rc"

[ -s "$dir/anlagen/Demo.anl" ] || fail "no layout written"
n=$(ls "$dir/anlagen/Demo" 2>/dev/null | grep -c '\.mod$')
[ "$n" = 24 ] || fail "$n models instead of 24"
grep -q '^Faktor=1.0' "$dir/anlagen/Demo.danl" || fail "settings not stored"
grep -a -q 'set_window_text L"Kachel 24 von 24"' "$log" || fail "no progress in the title"
grep -a -q 'set_window_text L"24 Modelle (3 MB) geschrieben in .*Demo\\nZumt ist nicht' "$log" ||
    fail "the closing message did not say where the models went"
echo "dialog shown, OK generated 24 models and the layout, exit code 0"
