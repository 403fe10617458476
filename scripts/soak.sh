#!/usr/bin/env bash
# A long headless run: the flight around the world with the monkey's random play mixed in.
# Prints the program's resident memory every INTERVAL seconds and its --stats line at the end.
#   scripts/soak.sh [BUILD_DIR] [PASSES] [SEED] [INTERVAL]
set -euo pipefail
build=${1:-build/release}
passes=${2:-150000}
seed=${3:-1}
interval=${4:-60}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

{
    "$here/flyaround.sh" "$passes"
    "$build/monkey" --seed "$seed" --passes "$passes" --res hi
} >"$work/script.txt"
echo "soak: $passes passes, seed $seed, $(wc -l <"$work/script.txt") script events"

"$build/velmora" --headless --frames "$passes" --seed "$seed" --stats \
    --input "$work/script.txt" >"$work/stats" 2>"$work/err" &
pid=$!
start=$SECONDS
while kill -0 "$pid" 2>/dev/null; do
    sleep "$interval"
    rss=$(awk '/^VmRSS/ {print $2}' "/proc/$pid/status" 2>/dev/null || true)
    [[ -n $rss ]] && echo "soak: $((SECONDS - start)) s, rss ${rss} kB"
done
status=0
wait "$pid" || status=$?
cat "$work/stats"
if [[ -s $work/err ]]; then
    echo "soak: standard error:"
    head -n 20 "$work/err"
fi
echo "soak: exit status $status after $((SECONDS - start)) s"
[[ $status -eq 0 && ! -s $work/err ]]
