#!/usr/bin/env bash
# Runs every libFuzzer target for a bounded time from a fresh seed corpus written by fuzz_seeds.
#   scripts/run-fuzzers.sh [BUILD_DIR] [SECONDS_EACH]
# Fails on the first target that finds a crash, a leak or a timeout; the input that did it is
# kept in BUILD_DIR/fuzz-artifacts.
set -euo pipefail
build=${1:-build/fuzz}
seconds=${2:-10}
bin=$build/fuzz
work=$build/fuzz-run
artifacts=$build/fuzz-artifacts

rm -rf "$work"
mkdir -p "$work" "$artifacts"
"$bin/fuzz_seeds" "$work/seeds"

status=0
for target in archive model geometry image; do
    corpus=$work/corpus-$target
    mkdir -p "$corpus"
    log=$work/$target.log
    if "$bin/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$artifacts/$target-" \
        "$corpus" "$work/seeds/$target" >"$log" 2>&1; then
        runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || true)
        echo "fuzz_$target: ${seconds}s, ${runs:-?} runs, nothing found"
    else
        echo "fuzz_$target: FAILED, see $log"
        tail -n 40 "$log"
        status=1
    fi
done
exit $status
