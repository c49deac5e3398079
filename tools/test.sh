#!/usr/bin/env bash
# The project's one test command: installs what is missing (as root; otherwise
# it names the packages), builds the Linux test build (ASan + UBSan), runs its
# tests, runs every fuzz target for 30 seconds (tools/fuzz.sh), then builds
# the Windows build and runs its tests under Wine.
#
#   tools/test.sh            everything
#   tools/test.sh --native   only the Linux build, its tests and the fuzzing
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/packages.sh

native_only=0
[ "${1:-}" = "--native" ] && native_only=1

packages=(cmake ninja-build g++ libgtest-dev googletest libstb-dev libboost-dev clang-format clang)
[ $native_only = 1 ] || packages+=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64 xvfb xdotool)

ensure_packages "${packages[@]}"
# The fuzzer's runtime comes in a package named after clang's major version.
clang_major=$(clang -dumpversion | cut -d. -f1)
ensure_packages "libclang-rt-${clang_major}-dev"

jobs=$(nproc 2>/dev/null || echo 2)

echo "== Format check"
files=$(git ls-files '*.cpp' '*.h' 2>/dev/null || true)
if [ -n "$files" ]; then
    # shellcheck disable=SC2086
    clang-format --dry-run --Werror $files
fi

echo "== Linux build (ASan + UBSan) and tests"
cmake --preset debug -DZUMT_TESTS=ON >/dev/null
cmake --build build/debug -j "$jobs"
ctest --test-dir build/debug --output-on-failure -j "$jobs"

echo "== Fuzzing (libFuzzer, 30 s per target)"
tools/fuzz.sh 30

if [ $native_only = 1 ]; then
    exit 0
fi

echo "== Windows build (MinGW-w64) and tests under Wine"
export WINEDEBUG=-all
# Create the Wine prefix once, before the first test needs it.
if [ ! -f "${WINEPREFIX:-$HOME/.wine}/system.reg" ]; then
    wineboot -i >/dev/null 2>&1 || true
fi
# The windows preset builds the programs alone; the tests are asked for.
cmake --preset windows -DZUMT_TESTS=ON >/dev/null
cmake --build build/windows -j "$jobs"
# One after the other, all under one virtual display: Wine programs of one
# prefix share a server, and windows need a display.
tests/support/with_xvfb.sh ctest --test-dir build/windows --output-on-failure
