#!/usr/bin/env bash
# Prints an input script (for --input) that flies around the world for PASSES passes: forward
# with turns, a dive under water and a climb back out, every 400 passes. Usage: flyaround.sh PASSES
set -euo pipefail
passes=${1:-2000}
for ((p = 0; p < passes; p += 400)); do
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
