#!/usr/bin/env bash
# What the browser build and its tests need, installed only when missing, all from Debian:
# emscripten (its compiler, its prebuilt C and C++ libraries for WebAssembly, Node), the
# GoogleTest sources the browser's tests are built from, stb's headers, and Chromium with
# ChromeDriver for the page's tests.
set -euo pipefail
source "$(dirname "$0")/packages.sh"

choose_sudo || sudo=(false)  # apt-get then fails with its own message

packages=(
    emscripten nodejs cmake ninja-build googletest libstb-dev python3 chromium chromium-driver
)

mapfile -t missing < <(missing_packages "${packages[@]}")
if [[ ${#missing[@]} -eq 0 ]]; then
    echo "web deps: all ${#packages[@]} packages present"
    exit 0
fi
echo "web deps: installing ${missing[*]}"
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
