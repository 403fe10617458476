#!/usr/bin/env bash
# The suite of a cross build through its ctest preset (the emulator comes from the build's
# toolchain), its log kept in OUTPUT_FOLDER/ctest.log: prints the count, the skipped tests'
# number and, when some failed, which; those run once more (OUTPUT_FOLDER/ctest.log.rerun).
# Exits with the status of the last ctest run.
# Usage: scripts/run-suite.sh PRESET OUTPUT_FOLDER
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
preset=$1
log=$2/ctest.log
(cd "$root" && ctest --preset "$preset" -j 2 --output-on-failure) >"$log" 2>&1
status=$?
grep -E "tests passed|tests failed" "$log"
echo "   skipped: $(grep -c "(Skipped)" "$log") (listed in $log)"
if [[ $status -ne 0 ]]; then
    sed -n '/The following tests FAILED/,$p' "$log"
    # Under an emulator a test program now and then fails to start at all (no output, not
    # even the test framework's first line); the failed tests run once more, and only a
    # second failure counts. The first failures stay in the log above.
    echo "   running the failed tests once more"
    (cd "$root" && ctest --preset "$preset" -j 2 --output-on-failure --rerun-failed) \
        >"$log.rerun" 2>&1
    status=$?
    grep -E "tests passed|tests failed" "$log.rerun"
    [[ $status -eq 0 ]] || sed -n '/The following tests FAILED/,$p' "$log.rerun"
fi
exit $status
