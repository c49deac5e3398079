#!/usr/bin/env bash
# The demo: builds the programs, copies the sample data into a fresh output
# folder, turns the sample survey data (four XYZ tiles and an orthophoto)
# into a terrain with zumt_dgm, generates the terrain tiles and their layout with gen_zumt_ter,
# fits the sample layout to the terrain with zumt_hoehen, draws a picture of
# the result and of the survey terrain with zumt_vorschau and ends with a
# short summary.
#
#   tools/demo.sh [OUTPUT-FOLDER]      (default: demo-output)
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/packages.sh
root=$(pwd)
out=${1:-demo-output}

packages=(cmake ninja-build g++ libstb-dev libboost-dev)
ensure_packages "${packages[@]}"

echo "== Building the programs"
build=build/demo
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZUMT_TESTS=OFF -DZUMT_BENCH=OFF >/dev/null
targets=(zumt_dgm zumt_hoehen gen_zumt_ter zumt_demo_summary zumt_vorschau)
cmake --build "$build" --target "${targets[@]}" -j "$(nproc 2>/dev/null || echo 2)" >/dev/null
program() { find "$root/$build" -name "$1" -type f -perm -u+x | head -n 1; }

echo "== Fresh output folder: $out"
rm -rf "$out"
mkdir -p "$out"
cp examples/* "$out/"
out=$(cd "$out" && pwd)
# The model folder of the host: on Linux the environment names it.
export ZUMT_HOST_DIR="$out/Zumt"
mkdir -p "$ZUMT_HOST_DIR"

echo "== Survey data to terrain: zumt_dgm dgm_*.xyz --farbe luftbild.png"
"$(program zumt_dgm)" "$out"/dgm_*.xyz --raster 10 --farbe "$out/luftbild.png" \
    -o "$out/luftbild.ter" --anlage "$out/Luftbild.danl"

echo "== Generating the terrain tiles: gen_zumt_ter Demo.danl"
"$(program gen_zumt_ter)" "$out/Demo.danl"

echo "== Fitting the sample layout: zumt_hoehen Strecke.anl"
cp "$out/Strecke.anl" "$out/Strecke.vorher.anl"
"$(program zumt_hoehen)" "$out/Strecke.anl"

"$(program zumt_demo_summary)" "$ZUMT_HOST_DIR/Modelle/Demo" "$out/Demo.anl" \
    "$out/Strecke.vorher.anl" "$out/Strecke.anl"

if [ -n "$(program zumt_vorschau)" ]; then
    "$(program zumt_vorschau)" "$out/Strecke.danl" "$out/Vorschau.png"
    echo "Picture:          $out/Vorschau.png"
    # The survey terrain with the orthophoto's colours (its red marker sits
    # on the ridge).
    "$(program zumt_vorschau)" "$out/Luftbild.danl" "$out/Luftbild.png"
    echo "Survey terrain:   $out/Luftbild.png"
fi
echo "Everything lies in $out"
