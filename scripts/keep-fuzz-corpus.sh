#!/usr/bin/env bash
# Minimises the corpus a fuzz run grew (BUILD_DIR/fuzz-run/corpus-TARGET) together with the kept
# one into fuzz/corpus/TARGET, so the next run starts where this one ended.
#   scripts/keep-fuzz-corpus.sh [BUILD_DIR] [TARGET...]
set -euo pipefail
build=${1:-build/fuzz}
shift $(($# > 1 ? 1 : $#))
targets=("$@")
((${#targets[@]})) || targets=(archive model geometry image input click value cmdline trace)
here=$(cd "$(dirname "$0")/.." && pwd)
for target in "${targets[@]}"; do
    grown=$build/fuzz-run/corpus-$target
    kept=$here/fuzz/corpus/$target
    [[ -d $grown ]] || continue
    fresh=$(mktemp -d)
    mkdir -p "$kept"
    # An input that still fails leaves its copy with the build's artifacts, not in the tree.
    mkdir -p "$build/fuzz-artifacts"
    "$build/fuzz/fuzz_$target" -merge=1 -rss_limit_mb=2048 \
        -artifact_prefix="$build/fuzz-artifacts/$target-merge-" "$fresh" "$kept" "$grown" \
        >/dev/null 2>&1
    # Inputs named regress-* once found a fault: they stay whatever coverage they add.
    find "$kept" -maxdepth 1 -type f ! -name 'regress-*' -delete
    cp "$fresh"/* "$kept"/ 2>/dev/null || true
    rm -rf "$fresh"
    echo "fuzz/corpus/$target: $(ls "$kept" | wc -l) inputs"
done
