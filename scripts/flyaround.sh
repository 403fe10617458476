#!/usr/bin/env bash
# Prints an input script (for --input) that flies around the world for PASSES passes, in one of
# two patterns repeated every 400 passes:
#   round (default): forward with turns, a dive under water and a climb back out; about a
#                    quarter of the first 400 passes under water, fewer later;
#   dive:            a long swim: down soon after the start, up again late, so that half the
#                    passes (206 of every 400) are under water, where the whole screen is
#                    redrawn the most (make compare flies this one).
# Usage: flyaround.sh PASSES [round|dive]
set -euo pipefail
passes=${1:-2000}
pattern=${2:-round}
if [[ $pattern != round && $pattern != dive ]]; then
    echo "flyaround.sh: unknown pattern '$pattern' (round or dive)" >&2
    exit 2
fi
for ((p = 0; p < passes; p += 400)); do
    if [[ $pattern == dive ]]; then
        cat <<SCRIPT
$((p + 1)) key A down
$((p + 40)) key LEFT down
$((p + 60)) key ALT down
$((p + 60)) key DOWN down
$((p + 80)) key LEFT up
$((p + 100)) key DOWN up
$((p + 100)) key ALT up
$((p + 160)) key A up
$((p + 220)) key Z down
$((p + 250)) key Z up
$((p + 250)) key ALT down
$((p + 250)) key UP down
$((p + 290)) key UP up
$((p + 290)) key ALT up
$((p + 330)) key RIGHT down
$((p + 360)) key RIGHT up
SCRIPT
        continue
    fi
    cat <<SCRIPT
$((p + 1)) key A down
$((p + 60)) key LEFT down
$((p + 110)) key LEFT up
$((p + 150)) key ALT down
$((p + 150)) key DOWN down
$((p + 190)) key DOWN up
$((p + 190)) key ALT up
$((p + 200)) key A up
$((p + 240)) key ALT down
$((p + 240)) key UP down
$((p + 290)) key UP up
$((p + 290)) key ALT up
$((p + 300)) key RIGHT down
$((p + 330)) key RIGHT up
$((p + 340)) key Z down
$((p + 380)) key Z up
SCRIPT
done
