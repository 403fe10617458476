#!/usr/bin/env bash
# The arm64 build under qemu's user-mode emulator: its tests through ctest (the emulated
# subset named in CMakeLists.txt: VELMORA_EMULATED_SUBSET), the headless flight compared byte
# for byte with this machine's build, and the arm64 Debian package checked as the amd64 one is
# (tests/scripts/package.sh: files, dependencies, lintian, the unpacked program running).
# Prints how long each step took.
# Usage: scripts/test-arm64.sh LINUX_BUILD ARM64_BUILD [suite] [flight] [package]
# (the steps to run; all three when none is named).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
linux=$(cd "${1:-$root/build/release}" && pwd)
arm=$(cd "${2:-$root/build/arm64}" && pwd)
shift $(($# < 2 ? $# : 2))
steps=" ${*:-suite flight package} "
out=$root/build/arm64-check
mkdir -p "$out"
failed=()
timings=()

step() {  # name, seconds
    timings+=("$(printf '%-34s %4d s' "$1" "$2")")
}
wants() { [[ "$steps" == *" $1 "* ]]; }

# The emulator the build was configured with (the toolchain file finds it).
emulator=$(sed -n 's/^VELMORA_QEMU_AARCH64:FILEPATH=//p' "$arm/CMakeCache.txt")
if [[ ! -x "$emulator" ]]; then
    echo "test-arm64: no emulator in $arm/CMakeCache.txt (make deps-arm64 installs qemu-user-static)" >&2
    exit 1
fi
# The multiarch loader and libraries: no QEMU_LD_PREFIX (see cmake/aarch64-linux-gnu.cmake).
unset QEMU_LD_PREFIX
echo "   $("$emulator" "$arm/velmora" --version 2>&1 | head -1) under $(basename "$emulator")"

if wants suite; then
    started=$SECONDS
    echo "== the arm64 tests under the emulator"
    "$root/scripts/run-suite.sh" arm64 "$out" || failed+=("the arm64 tests")
    step "arm64 tests (ctest -j2, emulated)" $((SECONDS - started))
fi

if wants flight; then
    started=$SECONDS
    echo "== the headless flight, x86-64 against arm64"
    "$root/scripts/compare-flight.sh" arm64 "$out" "$linux" "$arm/velmora" "$arm/Data.kqx" \
        "$emulator" || failed+=("the headless flight")
    step "headless flight compare" $((SECONDS - started))
fi

if wants package; then
    started=$SECONDS
    echo "== the arm64 Debian package"
    VELMORA_EMULATOR=$emulator bash "$root/tests/scripts/package.sh" "$arm/velmora" "$arm" cmake \
        >"$out/package.log" 2>&1
    status=$?
    sed 's/^/   /' "$out/package.log"
    [[ $status -eq 0 ]] || failed+=("the arm64 package")
    step "arm64 package (cpack, lintian)" $((SECONDS - started))
fi

echo "== timings"
printf '   %s\n' "${timings[@]}"
if [[ ${#failed[@]} -gt 0 ]]; then
    echo "FAILED: ${failed[*]}"
    exit 1
fi
echo "arm64: all checks passed"
