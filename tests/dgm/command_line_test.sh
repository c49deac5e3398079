#!/usr/bin/env bash
# The command-line conventions of every console program, and zumt_dgm as a
# user runs it: usage and version on standard output with exit 0, messages
# on standard error, a summary unless -q, nothing written on failure.
#
# Usage: command_line_test.sh VERSION ZUMT_DGM ZUMT_HOEHEN ZUMT_VORSCHAU GEN_ZUMT_TER
set -u
version=$1
shift
dgm=$(realpath "$1")
hoehen=$(realpath "$2")
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
. "$(dirname "$0")/../support/expect.sh"
check() { # name, condition...
    local name=$1
    shift
    if "$@"; then echo "ok   $name"; else echo "FAIL $name"; fail=1; fi
}
for exe in "$@"; do
    name=$(basename "$exe")
    out=$("$exe" --help 2>&1)
    check "$name --help" [ $? = 0 -a "${out#Aufruf: $name }" != "$out" ]
    check "$name -h" [ "$("$exe" -h 2>&1)" = "$out" ]
    check "$name --version" [ "$("$exe" --version 2>&1)" = "$name $version" ]
done
cd "$dir"
check "zumt_hoehen without argument: usage, exit 1" [ "$("$hoehen"; echo "rc=$?")" = "$("$hoehen" --help)
rc=1" ]

expect "dgm: no elevation file" 1 "Vodudad Avar: Keine Hoehendatei angegeben!" "$dgm" -q x.png
expect "dgm: unknown option" 1 "Vodudad Avar: Unbekannte Option: --rastr!" "$dgm" --rastr 2 a.asc
expect "dgm: not a .ter" 1 "Vodudad Avar: Falscher Dateityp: a.bmp!" "$dgm" a.asc -o a.bmp
expect "dgm: no step" 1 "Vodudad Avar: Option --raster braucht 1 Wert!" "$dgm" a.asc --raster
printf 'ncols 3\nnrows 2\nxllcorner 100\nyllcorner 200\ncellsize 10\nNODATA_value -9999\n1 2 3\n4 -9999 6\n' >a.asc
printf 'ncols 3\nnrows 2\nxllcorner 130\nyllcorner 200\ncellsize 5\n1 2 3\n4 5 6\n' >b.asc
expect "dgm: tiles that do not fit" 1 "Vodudad Avar: b.asc passt nicht zu a.asc (Rasterweite 5 x 5 statt 10 x 10)!" "$dgm" a.asc b.asc
mkdir D.danl
expect "dgm: an unreadable settings file is not replaced" 1 "Vodudad Avar: Can't open D.danl!" "$dgm" a.asc --anlage D.danl
check "dgm: nothing written on failure" [ "$(ls)" = "$(printf 'D.danl\na.asc\nb.asc')" ]
out=$("$dgm" a.asc --anlage A.danl)
check "dgm: converted with a summary, no progress in a log" [ $? = 0 -a -s A.ter -a -s A_farbe.bmp -a -s A.danl ]
check "dgm: summary" [ "$(printf '%s\n' "$out" | grep -E '^(Gitter|Ohne Daten|Gefuellt|Geschrieben):')" = "Gitter:      3 x 2 Punkte, Raster 10.00 m
Ohne Daten:  1 Punkte (1 als fehlend markiert, 0 unmoegliche Hoehen unter -1000 m oder ueber 9000 m, 0 mit --nodata)
Gefuellt:    16.7 % (1 Punkte aus den Raendern ergaenzt, 0 als ebene Flaeche auf der tiefsten Randhoehe)
Geschrieben: A_farbe.bmp, A.ter, A.danl" ]
check "dgm: -q is silent" [ -z "$("$dgm" -q b.asc 2>&1)" ]
exit $fail
