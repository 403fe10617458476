#!/usr/bin/env bash
# What the arm64 cross build and its emulated tests need, installed only when missing: Debian's
# aarch64 cross compiler, qemu's user-mode emulator, and the arm64 -dev packages of the
# libraries the program links, through Debian's multiarch (dpkg --add-architecture arm64). The
# arm64 packages share files with the amd64 ones the main build uses, so apt's plan is checked
# first: if installing them would remove any package, nothing is installed and the script stops.
set -euo pipefail
source "$(dirname "$0")/packages.sh"

choose_sudo || sudo=(false)  # apt-get then fails with its own message

packages=(
    g++-aarch64-linux-gnu qemu-user-static cmake ninja-build dpkg-dev file lintian
    libsdl2-dev:arm64 libx11-dev:arm64 libstb-dev:arm64 libgtest-dev:arm64 libgmock-dev:arm64
    libegl-dev:arm64 libopengl-dev:arm64
)

mapfile -t missing < <(missing_packages "${packages[@]}")
if [[ ${#missing[@]} -eq 0 ]]; then
    echo "arm64 deps: all ${#packages[@]} packages present"
    exit 0
fi

if ! dpkg --print-foreign-architectures | grep -qx arm64; then
    echo "arm64 deps: adding the arm64 architecture to dpkg"
    "${sudo[@]}" dpkg --add-architecture arm64
fi
echo "arm64 deps: installing ${missing[*]}"
"${sudo[@]}" apt-get update -qq
# An arm64 -dev package needs its amd64 twin at the same version: apt upgrades the amd64 one
# alongside, which is fine, but it must never take an amd64 package away.
plan=$("${sudo[@]}" apt-get install -s --no-install-recommends "${missing[@]}")
removals=$(grep '^Remv ' <<<"$plan" || true)
if [[ -n "$removals" ]]; then
    echo "arm64 deps: installing these would remove packages the main build may need:" >&2
    echo "$removals" >&2
    exit 1
fi
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
