#!/usr/bin/env bash
# Records a flight that spends half its passes under water as a trace and plays it on the
# software device and through OpenGL, printing the compare line.
# Usage: compare-renderers.sh BUILD_DIR [PASSES] [THREADS] [hi|lo]
set -euo pipefail
build=$1
passes=${2:-2000}
threads=${3:-$(nproc)}
res=${4:-hi}
trace=$(mktemp --suffix=.vtr)
trap 'rm -f "$trace"' EXIT
"$build/velmora" --headless --seed 1 --frames "$passes" --res "$res" --trace "$trace" \
    --input <("$(dirname "$0")/flyaround.sh" "$passes" dive)
echo "trace: $passes passes at --res $res, $(($(stat -c %s "$trace") / 1048576)) MB"
"$build/velmora-replay" "$trace" --compare --threads "$threads" --compare-from 105
