#!/usr/bin/env bash
# The committed sample data is exactly what our own tool makes.
set -u
tool=$1
examples=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
"$tool" "$dir" || { echo "FAIL: the tool failed"; exit 1; }
fail=0
for f in "$examples"/*; do
    name=$(basename "$f")
    if ! cmp -s "$f" "$dir/$name"; then
        echo "FAIL: examples/$name differs from what zumt_make_examples writes"
        fail=1
    fi
done
[ "$(ls "$dir" | wc -l)" = "$(ls "$examples" | wc -l)" ] || { echo "FAIL: file lists differ"; fail=1; }
[ $fail = 0 ] && echo "examples/ is what zumt_make_examples writes"
exit $fail
