#!/usr/bin/env bash
# The native zumt_hoehen as a user sees it: messages on standard error,
# prefixed with the caption, and the exit codes.
set -u
exe=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
. "$(dirname "$0")/../support/expect.sh"
cd "$dir"
expect "no argument" 1 "" "$exe"
expect "upper-case extension" 1 "Vodudad Avar: Falscher Dateityp: Test.ANL!" "$exe" Test.ANL
expect "missing settings" 1 "Vodudad Avar: Can't open $dir/Fehlt.danl!
Vodudad Avar: [Terrain1]:Hoehe muss gesetzt sein!" "$exe" "$dir/Fehlt.anl"
mkdir anlagen
printf '[Terrain1]\r\nHoehe=terrain.TER\r\n' > anlagen/Test.danl
expect "wrong height type" 1 "Vodudad Avar: Falscher Dateityp fuer Hoehe: terrain.TER!" "$exe" "$dir/anlagen/Test.danl"
printf '[Terrain1]\r\nHoehe=h.bmp\r\nPixelgroesse=0.004\r\n' > anlagen/Test.danl
expect "pixel size too small" 1 "Vodudad Avar: Bitte Pixelgroesse angeben!" "$exe" "$dir/anlagen/Test.anl"
expect "same with .danl" 1 "Vodudad Avar: Bitte Pixelgroesse angeben!" "$exe" "anlagen/Test.danl"
[ -z "$(ls -A anlagen | grep -v Test.danl)" ] || { echo "FAIL: files were written"; fail=1; }
exit $fail
