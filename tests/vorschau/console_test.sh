#!/usr/bin/env bash
# The native zumt_vorschau as a user sees it: messages on standard error,
# prefixed with the caption, and the exit codes. Where ImageMagick is at
# hand it makes the input bitmaps and reads the picture back, so the PNG is
# also checked by a decoder that is not ours.
set -u
exe=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
. "$(dirname "$0")/../support/expect.sh"
cd "$dir"
expect "no argument" 1 "Vodudad Avar: Aufruf: zumt_vorschau Anlage.danl [Bild.png]" "$exe"
expect "upper-case extension" 1 "Vodudad Avar: Falscher Dateityp: Test.ANL!" "$exe" Test.ANL
expect "missing settings" 1 "Vodudad Avar: Can't open $dir/Fehlt.danl!
Vodudad Avar: [Terrain1]:Hoehe muss gesetzt sein!" "$exe" "$dir/Fehlt.danl"
mkdir anlagen
printf '[Terrain1]\r\nHoehe=hoehe.bmp\r\nPixelgroesse=0.004\r\n' > anlagen/Test.danl
expect "pixel size too small" 1 "Vodudad Avar: Bitte Pixelgroesse angeben!" "$exe" "$dir/anlagen/Test.anl"
expect "picture not named .png" 1 "Vodudad Avar: Falscher Dateityp fuer Bild: anlagen/Test.danl!" \
    "$exe" anlagen/Test.anl anlagen/Test.danl
[ -z "$(ls -A anlagen | grep -v Test.danl)" ] || { echo "FAIL: files were written"; fail=1; }

if command -v convert >/dev/null && command -v identify >/dev/null; then
    # Height 0 everywhere (stored bytes 00 27 10 = 10000), a colour gradient.
    convert -size 40x30 'xc:rgb(16,39,0)' -type truecolor BMP3:anlagen/hoehe.bmp
    convert -size 40x30 'gradient:rgb(200,180,40)-rgb(40,120,60)' -type truecolor BMP3:anlagen/farbe.bmp
    printf '[Terrain1]\r\nHoehe=hoehe.bmp\r\nFarbe=farbe.bmp\r\nPixelgroesse=10\r\n' > anlagen/Test.danl
    expect "picture written" 0 "" "$exe" anlagen/Test.danl
    got=$(identify -format '%m %w %h' anlagen/Test.png 2>&1)
    # 40 x 30 steps of 10 m with a 3 % margin on each side, 1024 pixels wide.
    if [ "$got" = "PNG 1024 783" ]; then
        echo "ok   ImageMagick reads the picture: $got"
    else
        echo "FAIL ImageMagick: $got"
        fail=1
    fi
else
    echo "skip ImageMagick checks (convert/identify not installed)"
fi
exit $fail
