#!/usr/bin/env bash
# The suite of a cross build through its ctest preset (the emulator comes from the build's
# toolchain), its log kept in OUTPUT_FOLDER/ctest.log: prints the count, the skipped tests'
# number and, when some failed, which. Exits with ctest's status.
# Usage: scripts/run-suite.sh PRESET OUTPUT_FOLDER
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
preset=$1
log=$2/ctest.log
(cd "$root" && ctest --preset "$preset" -j 2 --output-on-failure) >"$log" 2>&1
status=$?
grep -E "tests passed|tests failed" "$log"
echo "   skipped: $(grep -c "(Skipped)" "$log") (listed in $log)"
[[ $status -eq 0 ]] || sed -n '/The following tests FAILED/,$p' "$log"
exit $status
