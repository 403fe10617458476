#!/usr/bin/env bash
# The headless flight on this machine's build and on another system's build, compared byte for
# byte: the frames of passes 100, 250 and 400 as PNG files, and Data.kqx. The other build's
# program runs through a command that starts it (Wine, an emulator).
# Usage: scripts/compare-flight.sh NAME OUT LINUX_BUILD OTHER_PROGRAM OTHER_DATA [RUNNER...]
#   NAME          what to call the other system in messages and file names (windows, arm64)
#   OUT           folder for the PNG files
#   LINUX_BUILD   the build folder of this machine's program (velmora and Data.kqx)
#   OTHER_PROGRAM the other build's program; OTHER_DATA its Data.kqx
#   RUNNER...     the command that starts it, if any
# OTHER_ARGS in the environment: more options for the other build's program (--threads 2).
# Exits 0 when every file is identical, 1 otherwise, naming each that is not.
set -uo pipefail
name=$1 out=$2 linux=$3 program=$4 data=$5
shift 5
runner=("$@")
passes=(100 250 400)
flight=(--headless --frames "${passes[-1]}" --seed 1)
mkdir -p "$out"
failed=()

for system in linux "$name"; do
    args=("${flight[@]}")
    for pass in "${passes[@]}"; do args+=(--shot "$pass:$out/$system-$pass.png"); done
    rm -f "$out/$system"-*.png
    started=$SECONDS
    if [[ $system == linux ]]; then
        "$linux/velmora" "${args[@]}" >"$out/$system-flight.log" 2>&1
    else
        # shellcheck disable=SC2086 # the options are words
        "${runner[@]}" "$program" "${args[@]}" ${OTHER_ARGS:-} >"$out/$system-flight.log" 2>&1
    fi
    status=$?
    echo "   the $system flight: exit status $status, $((SECONDS - started)) s"
    if [[ $status -ne 0 ]]; then
        tail -5 "$out/$system-flight.log" | sed 's/^/     /'
        failed+=("the $system flight")
    fi
done
for pass in "${passes[@]}"; do
    if [[ ! -s "$out/linux-$pass.png" || ! -s "$out/$name-$pass.png" ]]; then
        echo "   pass $pass: MISSING"
        failed+=("the frame of pass $pass")
    elif cmp -s "$out/linux-$pass.png" "$out/$name-$pass.png"; then
        echo "   pass $pass: identical ($(stat -c %s "$out/linux-$pass.png") bytes)"
    else
        echo "   pass $pass: DIFFERENT"
        failed+=("the frame of pass $pass")
    fi
done
if cmp -s "$linux/Data.kqx" "$data"; then
    echo "   Data.kqx: identical"
else
    echo "   Data.kqx: DIFFERENT"
    failed+=("Data.kqx")
fi
if [[ ${#failed[@]} -gt 0 ]]; then
    echo "   not the same: ${failed[*]}"
    exit 1
fi
