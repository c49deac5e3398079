#!/usr/bin/env bash
# Takes the picture of the dialog for the README (docs/gen_zumt_ter.png):
# gen_zumt_ter.exe of the Windows build, started under Wine on a virtual
# display with the demo terrain of the tests as C:\Anlagen\Demo.danl.
#
#   cmake --preset windows && cmake --build build/windows -j2
#   tools/screenshot_dialog.sh
#
# Needs wine, xvfb, xdotool and ImageMagick (import). It works in a Wine
# prefix of its own, removed afterwards, in which Wine draws the window
# frames itself: there is no window manager on the virtual display.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
exe=$root/build/windows/dialog/gen_zumt_ter.exe
out=$root/docs/gen_zumt_ter.png
[ -f "$exe" ] || { echo "missing $exe: build the windows preset first" >&2; exit 1; }
command -v import >/dev/null || { echo "ImageMagick's import is missing" >&2; exit 1; }

prefix=$(mktemp -d)
trap 'WINEPREFIX=$prefix wineserver -k 2>/dev/null || true; rm -rf "$prefix"' EXIT
export WINEPREFIX=$prefix WINEDEBUG=-all
wineboot -i >/dev/null 2>&1
wineserver -w
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
# The symbols of the caption buttons.
if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
    cp /usr/share/wine/fonts/marlett.ttf "$prefix/drive_c/windows/Fonts/"
fi
mkdir -p "$prefix/drive_c/Anlagen"
cp "$root"/tests/data/dialog/* "$prefix/drive_c/Anlagen/"
# The Wine processes started so far know no display: let them end.
wineserver -w

shoot() {
    wine "$exe" 'C:\Anlagen\Demo.danl' >/dev/null 2>"$WINEPREFIX/run.log" &
    local pid=$! wid
    wid=$(timeout 60 xdotool search --sync --name '^ZUMT Landschaftgenerierung$' 2>/dev/null | head -n 1)
    if [ -z "$wid" ]; then
        echo "the dialog did not appear:" >&2
        cat "$WINEPREFIX/run.log" >&2
        kill "$pid" 2>/dev/null
        return 1
    fi
    sleep 2
    mkdir -p "$(dirname "$out")"
    import -window "$wid" "$out"
    xdotool key --window "$wid" Escape 2>/dev/null
    wait "$pid"
}
export -f shoot
export exe out
tests/support/with_xvfb.sh bash -c shoot
echo "written: $out"
