#!/usr/bin/env bash
# Builds the release package: a zip with the Windows programs, the README,
# the German guide (LIESMICH.txt), the demo for Windows (demo.bat), the
# licence, the pictures and the sample data, named with the version. Run on a Debian machine; missing packages are installed when run
# as root.
#
#   tools/release.sh          -> dist/zumt-tools-<version>-windows.zip
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/packages.sh

packages=(cmake ninja-build g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 libstb-dev libboost-dev zip)
ensure_packages "${packages[@]}"

version=$(sed -n 's/^project(zumt_tools VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
build=build/release-windows
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZUMT_TESTS=OFF -DZUMT_BENCH=OFF \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" >/dev/null
targets=(zumt_dgm zumt_hoehen gen_zumt_ter zumt_vorschau)
cmake --build "$build" --target "${targets[@]}" -j "$(nproc 2>/dev/null || echo 2)" >/dev/null

name="zumt-tools-$version-windows"
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/$name/examples" "$stage/$name/docs"
for t in "${targets[@]}"; do
    exe=$(find "$build" -name "$t.exe" -type f | head -n 1)
    x86_64-w64-mingw32-strip -o "$stage/$name/$t.exe" "$exe"
done
cp README.md LICENSE "$stage/$name/"
# Windows line ends for the files people open with Notepad or run.
sed 's/$/\r/' docs/LIESMICH.txt >"$stage/$name/LIESMICH.txt"
sed 's/$/\r/' tools/demo.bat >"$stage/$name/demo.bat"
cp docs/*.png "$stage/$name/docs/" 2>/dev/null || true
cp examples/* "$stage/$name/examples/"
mkdir -p dist
rm -f "dist/$name.zip"
(cd "$stage" && zip -q -r -X "$OLDPWD/dist/$name.zip" "$name")
echo "dist/$name.zip"
unzip -l "dist/$name.zip" | tail -n +4 | head -n -2
# Static programs: nothing but the system's own DLLs may be imported.
for t in "${targets[@]}"; do
    dlls=$(x86_64-w64-mingw32-objdump -p "$stage/$name/$t.exe" | sed -n 's/^\tDLL Name: //p' | tr '\n' ' ')
    echo "$t.exe imports: $dlls"
done
