#!/usr/bin/env bash
# Renders the pictures people look at: the start view, the burning palm, under water, the
# wireframe pass and the low-resolution frame. Usage: shots.sh VELMORA OUT_DIR
set -euo pipefail
velmora=$1
out=$2
views=$(dirname "$0")/views
mkdir -p "$out"

shot() {  # name, pass, extra options...
    local name=$1 pass=$2
    shift 2
    "$velmora" --headless --seed 1 --frames "$pass" --shot "$pass:$out/$name.png" "$@" 2>/dev/null
    echo "  $out/$name.png"
}

echo "Rendering the scene:"
shot start 260
shot palm 365 --input "$views/palm.txt"
shot underwater 330 --input "$views/underwater.txt"
shot wireframe 260 --input "$views/wireframe.txt"
shot lores 260 --res lo
