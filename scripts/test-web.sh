#!/usr/bin/env bash
# The browser build's checks: its tests under Node (the span kernels' bits on every stage
# combination compared with this machine's native build, the device's rules, the page's key
# names), the headless flight under Node compared byte for byte with the native build's, --stats
# under Node, and the page in headless Chromium served from 127.0.0.1
# (scripts/test-web-page.py; screenshots in build/web-check/page/). Prints how long each took.
# Usage: scripts/test-web.sh LINUX_BUILD WEB_BUILD WEB_OUT [suite] [flight] [page]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
linux=$(cd "${1:-$root/build/release}" && pwd)
build=$(cd "${2:-$root/build/web-build}" && pwd)
web=$(cd "${3:-$root/build/web}" && pwd)
shift $(($# < 3 ? $# : 3))
steps=" ${*:-suite flight page} "
out=$root/build/web-check
mkdir -p "$out"
failed=()
timings=()
step() { timings+=("$(printf '%-40s %4d s' "$1" "$2")"); }
wants() { [[ "$steps" == *" $1 "* ]]; }
echo "   node $(node --version)"

if wants suite; then
    started=$SECONDS
    echo "== the browser build's tests under Node"
    rm -f "$out/span-bits-web.bin" "$out/span-bits-linux.bin"
    if (cd "$build" && VELMORA_SPAN_BITS="$out/span-bits-web.bin" node velmora_tests.js \
            --gtest_brief=1 --gtest_color=no) >"$out/tests.log" 2>&1; then
        grep -E '(PASSED|SKIPPED) +\]' "$out/tests.log" | sed 's/^/   /'
    else
        grep -E '^\[  FAILED|Failure' "$out/tests.log" | head -20 | sed 's/^/   /'
        failed+=("the tests under Node")
    fi
    VELMORA_SPAN_BITS="$out/span-bits-linux.bin" "$linux/velmora_tests" \
        --gtest_filter='SpanKernelsTest.*' --gtest_brief=1 >"$out/span-linux.log" 2>&1
    if [[ -s "$out/span-bits-web.bin" ]] && cmp -s "$out/span-bits-web.bin" "$out/span-bits-linux.bin"; then
        echo "   span kernels, every stage combination: identical to Linux's ($(stat -c %s "$out/span-bits-web.bin") bytes)"
    else
        echo "   span kernels, every stage combination: DIFFERENT from Linux's (or missing)"
        failed+=("the span kernels' bits")
    fi
    step "tests under Node, span bits compared" $((SECONDS - started))
fi

if wants flight; then
    started=$SECONDS
    echo "== the headless flight, Linux against WebAssembly under Node"
    "$root/scripts/compare-flight.sh" web "$out" "$linux" "$web/node/velmora.js" \
        "$web/node/Data.kqx" node || failed+=("the headless flight")
    echo "== the same on the device's worker threads (the shared-memory build, 3 threads)"
    OTHER_ARGS="--threads 3" "$root/scripts/compare-flight.sh" web-threads "$out" "$linux" \
        "$web/node/velmora-threads.js" "$web/node/Data.kqx" node ||
        failed+=("the headless flight on threads")
    for build in velmora:1 velmora-threads:2; do
        program=${build%:*} threads=${build#*:}
        if node "$web/node/$program.js" --headless --frames 60 --seed 1 --threads "$threads" \
                --stats >"$out/stats-$program.log" 2>&1 &&
            grep -q "^frames=60 threads=$threads " "$out/stats-$program.log"; then
            echo "   --stats, $program.js: $(grep '^frames=' "$out/stats-$program.log")"
        else
            echo "   --stats, $program.js: no statistics line with threads=$threads"
            tail -5 "$out/stats-$program.log" | cut -c1-300 | sed 's/^/     /'
            failed+=("--stats under Node ($program.js)")
        fi
    done
    step "headless flight and --stats under Node" $((SECONDS - started))
fi

if wants page; then
    started=$SECONDS
    echo "== the page in headless Chromium"
    rm -rf "$out/page"
    # Bounded as a whole, besides each step's own limit.
    timeout 600 python3 "$root/scripts/test-web-page.py" "$web" "$out/page" ||
        failed+=("the page")
    step "the page in Chromium" $((SECONDS - started))
fi

echo "== timings"
printf '   %s\n' "${timings[@]}"
if [[ ${#failed[@]} -gt 0 ]]; then
    echo "FAILED: ${failed[*]}"
    exit 1
fi
echo "web: all checks passed"
