#!/usr/bin/env bash
# The native gen_zumt_ter as a user sees it: the fields it prints, the
# progress line, messages on standard error, exit codes and the files it
# writes or leaves alone.
#
# Usage: console_test.sh GEN_ZUMT_TER DEMO_FOLDER   (tests/data/dialog)
set -u
exe=$(realpath "$1")
demo=$(realpath "$2")
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
unset ZUMT_HOST_DIR
fail=0
out="$dir/out.txt"
err="$dir/err.txt"
bad() {
    echo "FAIL $1"
    echo "  stdout: $(tr '\r' '|' <"$out")"
    echo "  stderr: $(cat "$err")"
    fail=1
}
run() { # wanted exit code, arguments...
    local want=$1 rc
    shift
    "$exe" "$@" >"$out" 2>"$err"
    rc=$?
    [ "$rc" = "$want" ] || { echo "FAIL exit code $rc, expected $want for: $*"; fail=1; }
}

cd "$dir"
mkdir anlagen
cp "$demo"/* anlagen/

# Without an argument: how to use it.
run 1
grep -q '^Aufruf: gen_zumt_ter ' "$err" || bad "usage"

# A refused argument stops before anything is written.
cp anlagen/Demo.danl anlagen/Demo.DANL
run 1 anlagen/Demo.DANL
[ "$(cat "$err")" = "Vodudad Avar: Falsche Endung: anlagen/Demo.DANL" ] || bad "upper-case extension"
[ ! -s "$out" ] || bad "upper-case extension printed fields"

# A mistyped ".danl" is refused, and not created.
run 1 anlagen/Dmeo.danl
[ "$(cat "$err")" = "Vodudad Avar: Can't open anlagen/Dmeo.danl!" ] || bad "missing .danl"
[ ! -e anlagen/Dmeo.danl ] || bad "missing .danl was created"

# Lines ended by a lone CR keep every setting; UTF-16 is never written
# over; a FIFO is refused at once.
printf '[Terrain1]\rName=Demo\rHoehe=hoehe.bmp\r[Andere]\rx=1\r' >anlagen/Mac.danl
run 1 anlagen/Mac.danl
grep -q '^Hoehe=hoehe.bmp' anlagen/Mac.danl && grep -q '^x=1' anlagen/Mac.danl || bad "lone CR"
printf '\377\376[\0T\0]\0' | tee anlagen/Uni.danl >before.danl
run 1 anlagen/Uni.danl
grep -q "Uni.danl ist keine Textdatei!" "$err" && cmp -s before.danl anlagen/Uni.danl || bad "UTF-16"
mkfifo anlagen/Rohr.danl
timeout 10 "$exe" anlagen/Rohr.danl >"$out" 2>"$err"
[ "$(cat "$err")" = "Vodudad Avar: $dir/anlagen/Rohr.danl ist keine Datei!" ] || bad "FIFO .danl"

# A height file that loading drops stops the run, and the ".danl" stays.
for height in fehlt.bmp gelaende.png; do
    printf '[Terrain1]\r\nName=Demo\r\nHoehe=%s\r\nFarbe=farbe.bmp\r\n' "$height" >anlagen/Kaputt.danl
    cp anlagen/Kaputt.danl before.danl
    run 1 "$dir/anlagen/Kaputt.danl"
    case $height in
    *.png) want="Vodudad Avar: Falsche Endung: gelaende.png" ;;
    *) want="Vodudad Avar: Can't open fehlt.bmp!" ;;
    esac
    [ "$(cat "$err")" = "$want" ] || bad "height file $height"
    cmp -s before.danl anlagen/Kaputt.danl || bad "height file $height: the .danl was changed"
    [ ! -e anlagen/Kaputt.anl ] || bad "height file $height: a layout was written"
done

# The whole run, with a relative path split at '/': the folder of the
# ".danl" becomes the current folder, so the models and the layout go there.
run 0 anlagen/Demo.danl
expected="Erw. Anlage:  $dir/anlagen/Demo.danl
Terrain:      hoehe.bmp
Farbbitmap:   farbe.bmp
Name:         Demo
Pixelgröße:   10
Min:          0.02
Max:          20.02
Faktor:       1.0
Verschiebung: "
[ "$(head -n 9 "$out")" = "$expected" ] || bad "fields"
# The forecast before the run, where everything went after it; progress
# lines are for a terminal: none in this log.
expected="Vorhersage:   24 Kacheln, 3 MB Modelle, 0.96 km2
24 Modelle (3 MB) geschrieben in $dir/anlagen/Demo
ZUMT_HOST_DIR ist nicht gesetzt: die Modelle liegen neben der erw. Anlage.
Anlage: $dir/anlagen/Demo.anl"
[ "$(tail -n +10 "$out")" = "$expected" ] && ! grep -q $'\r' "$out" || bad "forecast and summary"
[ ! -s "$err" ] || bad "messages in a good run"
[ -s anlagen/Demo.anl ] || bad "no layout"
[ "$(ls anlagen/Demo | wc -l)" = 24 ] || bad "not 24 models"
[ "$(cat anlagen/Demo.danl)" = "$(printf '[Terrain1]\r\nName=Demo\r\nHoehe=hoehe.bmp\r\nFarbe=farbe.bmp\r\nPixelgroesse=10\r\nFaktor=1.0\r')" ] ||
    bad "stored settings"

# The backslash separates folders too; the models go into the host's
# model folder when there is one.
mkdir host
rm -rf anlagen/Demo
ZUMT_HOST_DIR="$dir/host" run 0 'anlagen\Demo.danl'
[ -e host/Modelle/Demo/bmp5_3.mod ] || bad "models in the host folder"
[ "$(tail -n 2 "$out")" = "24 Modelle (3 MB) geschrieben in $dir/host/Modelle/Demo
Anlage: $dir/anlagen/Demo.anl" ] || bad "summary with the host folder"
[ ! -e anlagen/Demo ] || bad "models beside the layout"

# A failed generation: the settings are stored all the same, exit code 1.
printf '[Terrain1]\r\nName=Demo\r\nHoehe=hoehe.bmp\r\nPixelgroesse=10\r\n' >anlagen/Ohne.danl
run 1 "$dir/anlagen/Ohne.danl"
[ "$(cat "$err")" = "Vodudad Avar: [Terrain1]:Farbe muss gesetzt sein!" ] || bad "no colour file"
grep -q '^Faktor=1.0' anlagen/Ohne.danl || bad "settings not stored before the generator"
[ ! -e anlagen/Ohne.anl ] || bad "a layout after a failed generation"

# A layout that cannot be replaced: the models are written, the message
# names the layout, and the run does not claim success. Not being a layout
# of tiles, it is backed up first.
cp anlagen/Demo.danl anlagen/Fest.danl
printf 'alt' >anlagen/Fest.anl
chmod a-w anlagen/Fest.anl
run 1 "$dir/anlagen/Fest.danl"
grep -q "Can't open .*Fest.anl!" "$err" || bad "no message for the read-only layout"
[ "$(cat anlagen/Fest.anl)" = alt ] || bad "the read-only layout was replaced"
[ "$(cat anlagen/Fest.anl.bak)" = alt ] || bad "no backup of the old layout"
grep -q "gesichert als .*Fest.anl.bak" "$err" || bad "the backup was not named"
[ "$(tail -n 1 "$out")" = "Anlage nicht geschrieben." ] || bad "summary claims the layout"

[ $fail = 0 ] && echo "gen_zumt_ter console: all checks passed"
exit $fail
