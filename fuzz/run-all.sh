#!/usr/bin/env bash
# Runs every fuzz target for RUNS inputs (default 10 million) from its seed corpus, one after
# another, and prints per target: executions, seconds, coverage, and any input that failed.
# Inputs that failed are kept in fuzz/found/<target>/ (turn each into a test).
# Usage: fuzz/run-all.sh [RUNS]      (builds the 'asan' preset's fuzz targets first)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-10000000}
cmake --preset asan >/dev/null
cmake --build --preset asan --target smf_read_fuzz sysex_assembly_fuzz preference_file_fuzz
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fuzz/make-seeds.sh "$work/seeds"
status=0
for target in smf_read_fuzz sysex_assembly_fuzz preference_file_fuzz; do
    mkdir -p "$work/corpus/$target" "fuzz/found/$target"
    start=$(date +%s)
    if build/asan/bin/$target -runs="$runs" -max_len=4096 -print_final_stats=1 \
        -artifact_prefix="fuzz/found/$target/" "$work/corpus/$target" "$work/seeds/$target" \
        >"$work/$target.log" 2>&1; then
        result="no finding"
    else
        result="FAILED: see fuzz/found/$target/"
        status=1
    fi
    seconds=$(($(date +%s) - start))
    executions=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$work/$target.log" | grep -o '[0-9]*$' || echo 0)
    coverage=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$work/$target.log" | tail -1)
    echo "$target: $executions executions in $seconds s, $coverage, $result"
done
exit $status
