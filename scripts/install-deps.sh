#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the window test need, and only
# those that are missing. Runs as root directly, otherwise through sudo.
set -euo pipefail
source "$(dirname "$0")/packages.sh"

packages=(
    build-essential cmake ninja-build pkg-config dpkg-dev file lintian ccache
    libsdl2-dev libx11-dev libstb-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev clang-format
    xvfb xfonts-base xdotool imagemagick x11-apps x11-utils
    fonts-dejavu-core
    libegl-dev libopengl-dev libgl-dev libegl-mesa0 libgl1-mesa-dri
)

mapfile -t missing < <(missing_packages "${packages[@]}")

if [[ ${#missing[@]} -eq 0 ]]; then
    echo "deps: all ${#packages[@]} packages present"
    exit 0
fi

echo "deps: installing ${missing[*]}"
if ! choose_sudo; then
    echo "deps: need root or sudo to install: ${missing[*]}" >&2
    exit 1
fi
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
