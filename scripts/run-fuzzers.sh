#!/usr/bin/env bash
# Runs every libFuzzer target for a bounded time, starting from the corpus kept in the repository
# (fuzz/corpus/TARGET, the minimised result of the last long run) and, for the binary readers,
# fresh seeds written by fuzz_seeds with the program's own writers.
#   scripts/run-fuzzers.sh [BUILD_DIR] [SECONDS_EACH] [TARGET...]
# Fails when a target finds a crash, a leak or a timeout; the input that did it is kept in
# BUILD_DIR/fuzz-artifacts. The corpus a run grows stays in BUILD_DIR/fuzz-run/corpus-TARGET;
# scripts/keep-fuzz-corpus.sh minimises it back into the repository.
set -euo pipefail
build=${1:-build/fuzz}
seconds=${2:-10}
shift $(($# > 2 ? 2 : $#))
targets=("$@")
((${#targets[@]})) || targets=(archive model geometry image input click value cmdline trace)
here=$(cd "$(dirname "$0")/.." && pwd)
bin=$build/fuzz
work=$build/fuzz-run
artifacts=$build/fuzz-artifacts

mkdir -p "$work" "$artifacts"
rm -rf "$work/seeds"
"$bin/fuzz_seeds" "$work/seeds"

status=0
for target in "${targets[@]}"; do
    corpus=$work/corpus-$target
    rm -rf "$corpus"
    mkdir -p "$corpus"
    kept=$here/fuzz/corpus/$target
    [[ -d $kept ]] && cp "$kept"/* "$corpus"/ 2>/dev/null || true
    seeds=()
    [[ -d $work/seeds/$target ]] && seeds=("$work/seeds/$target")
    log=$work/$target.log
    if "$bin/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$artifacts/$target-" \
        "$corpus" "${seeds[@]}" >"$log" 2>&1; then
        runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || true)
        cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | grep -o '[0-9]*' || true)
        echo "fuzz_$target: ${seconds}s, ${runs:-?} runs, coverage ${cov:-?}, nothing found"
    else
        echo "fuzz_$target: FAILED, see $log"
        tail -n 40 "$log"
        status=1
    fi
done
exit $status
