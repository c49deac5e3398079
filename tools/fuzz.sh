#!/usr/bin/env bash
# Builds the libFuzzer targets (preset fuzz: clang, ASan, UBSan) and runs
# each for a bounded time on a scratch copy of its seed corpus (fuzz/corpus),
# so the committed seeds are never changed. Fails when any target finds an
# input that crashes a reader, trips a sanitizer or breaks a promise of the
# reader checks (fuzz/reader_checks.h); the input is kept under
# build/fuzz/findings/<target>/.
#
#   tools/fuzz.sh                 30 seconds per target, all targets
#   tools/fuzz.sh 3600            an hour per target
#   tools/fuzz.sh 600 layout      one target
#   tools/fuzz.sh --list          the targets, one a line (builds nothing)
#
# Targets run side by side, as many at a time as there are processors.
set -euo pipefail
cd "$(dirname "$0")/.."

# Every target of fuzz/CMakeLists.txt, zumt_fuzz_<name>.
all_targets=(settings bitmap terragen layout geotiff grids archives)
if [ "${1:-}" = --list ]; then
    for t in "${all_targets[@]}"; do
        printf "%-9s build/fuzz/fuzz/zumt_fuzz_%s, seeds in fuzz/corpus/%s/\n" "$t" "$t" "$t"
    done
    exit 0
fi

seconds=${1:-30}
[ $# -gt 0 ] && shift
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all_targets[@]}")
jobs=$(nproc 2>/dev/null || echo 2)

cmake --preset fuzz >/dev/null
cmake --build build/fuzz -j "$jobs"

scratch=$(mktemp -d "${TMPDIR:-/tmp}/zumt_fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

# Inputs longer than the seeds are worth trying: settings lines over 1023
# characters, layouts with more records.
max_len() {
    case $1 in
    layout | geotiff) echo 8192 ;;
    *) echo 4096 ;;
    esac
}

run_target() {
    local t=$1
    local corpus=$scratch/$t/corpus findings=build/fuzz/findings/$t
    mkdir -p "$corpus" "$findings"
    cp fuzz/corpus/"$t"/* "$corpus"/
    build/fuzz/fuzz/zumt_fuzz_"$t" "$corpus" \
        -max_total_time="$seconds" -max_len="$(max_len "$t")" -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings"/ \
        >"$scratch/$t.log" 2>&1
}

failed=()
declare -A pid
start=0
while [ $start -lt ${#targets[@]} ]; do
    batch=("${targets[@]:$start:$jobs}")
    for t in "${batch[@]}"; do
        run_target "$t" &
        pid[$t]=$!
    done
    for t in "${batch[@]}"; do
        if wait "${pid[$t]}"; then
            runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$scratch/$t.log")
            echo "fuzz $t: ${runs:-?} executions in ${seconds} s, nothing found"
        else
            failed+=("$t")
            echo "fuzz $t: FOUND AN INPUT THAT FAILS (kept in build/fuzz/findings/$t/)" >&2
            grep -E 'Broken promise|ERROR|SUMMARY|runtime error|Test unit written' \
                "$scratch/$t.log" | head -20 >&2 || true
            echo "  reproduce: build/fuzz/fuzz/zumt_fuzz_$t build/fuzz/findings/$t/<file>" >&2
        fi
    done
    start=$((start + jobs))
done

[ ${#failed[@]} -eq 0 ]
