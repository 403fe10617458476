#!/usr/bin/env bash
# What the Windows build needs, installed once: Debian's mingw-w64 (posix threads), Wine, and
# SDL2 and GoogleTest built for Windows into a cache folder outside the build tree,
#   ${XDG_CACHE_HOME:-~/.cache}/velmora/win64/   (VELMORA_WIN_DEPS overrides it)
# one folder per version of the library and of the compiler, built only when missing, so that
# `make clean` and fresh clones on the same machine reuse it. SDL2 comes from Debian's source
# package (apt-get source), GoogleTest from /usr/src/googletest: apt is the only network.
set -euo pipefail
source "$(dirname "$0")/packages.sh"
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
deps=${VELMORA_WIN_DEPS:-${XDG_CACHE_HOME:-$HOME/.cache}/velmora/win64}
jobs=${JOBS:-$(nproc)}

choose_sudo || sudo=(false)  # apt-get then fails with its own message

packages=(
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
    wine wine64 dpkg-dev cmake ninja-build libgtest-dev googletest zip unzip xvfb xdotool imagemagick
    locales x11-utils
)
mapfile -t missing < <(missing_packages "${packages[@]}")
if [[ ${#missing[@]} -gt 0 ]]; then
    echo "windows deps: installing ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The path tests run Wine once more under a Russian locale (code page 1251): Wine names files
# in the locale's character set, so the locale must exist on this machine.
if ! locale -a 2>/dev/null | grep -qix 'ru_RU.utf8'; then
    echo "windows deps: generating the ru_RU.UTF-8 locale"
    "${sudo[@]}" localedef -i ru_RU -f UTF-8 ru_RU.UTF-8
fi

# The source of SDL2 needs a deb-src entry for the same Debian sources as the binaries: a copy
# of each "deb" entry (deb822 .sources files and the one-line sources.list) as "deb-src".
if ! apt-cache showsrc libsdl2 2>/dev/null | grep -q '^Version:'; then
    echo "windows deps: adding deb-src entries for Debian's sources"
    tmp=$(mktemp -d)
    for f in /etc/apt/sources.list.d/*.sources; do
        [[ -f "$f" && "$f" != */velmora-deb-src.sources ]] || continue
        awk 'BEGIN { RS = ""; ORS = "\n\n" } /(^|\n)Types:[^\n]*[ \t]deb([ \t]|\n|$)/ {
                 sub(/Types:[^\n]*/, "Types: deb-src"); print }' "$f" >>"$tmp/velmora-deb-src.sources"
    done
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [[ -f "$f" && "$f" != */velmora-deb-src.list ]] || continue
        sed -n 's/^deb /deb-src /p' "$f" >>"$tmp/velmora-deb-src.list"
    done
    for f in "$tmp"/*; do
        [[ -s "$f" ]] && "${sudo[@]}" install -m 644 "$f" /etc/apt/sources.list.d/
    done
    rm -rf "$tmp"
    "${sudo[@]}" apt-get update -qq
fi

gcc_version=$(x86_64-w64-mingw32-g++-posix -dumpversion)
sdl_version=$(apt-cache showsrc libsdl2 | sed -n 's/^Version: //p' | sort -V | tail -1)
gtest_version=$(dpkg-query -W -f='${Version}' googletest)
sdl_dir=$deps/sdl2-${sdl_version}-mingw${gcc_version}-lean
gtest_dir=$deps/googletest-${gtest_version}-mingw${gcc_version}
mkdir -p "$deps"

# One builder at a time per cache (two clones may run this together).
exec 9>"$deps/.lock"
flock 9

toolchain=$root/cmake/mingw-w64-x86_64.cmake
build_into() {  # name, final folder, source folder, cmake options...
    local name=$1 final=$2 src=$3
    shift 3
    local work
    work=$(mktemp -d "$deps/.build-$name-XXXXXX")
    local started=$SECONDS
    echo "windows deps: building $name for Windows into $final (once per version)"
    cmake -S "$src" -B "$work/build" -G Ninja --toolchain "$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$work/install" "$@" >"$work/configure.log" \
        || { cat "$work/configure.log"; exit 1; }
    cmake --build "$work/build" -j "$jobs" >"$work/build.log" || { tail -50 "$work/build.log"; exit 1; }
    cmake --install "$work/build" >/dev/null
    rm -rf "$final"
    mv "$work/install" "$final"
    rm -rf "$work"
    echo "windows deps: $name built in $((SECONDS - started)) s"
}

if [[ ! -f "$sdl_dir/lib/cmake/SDL2/SDL2Config.cmake" ]]; then
    src=$(mktemp -d "$deps/.source-sdl2-XXXXXX")
    (cd "$src" && apt-get source -qq libsdl2="$sdl_version" >/dev/null)
    sdl_src=$(find "$src" -mindepth 1 -maxdepth 1 -type d -name 'libsdl2-*' | head -1)
    # Static, with the Windows video, renderer and audio back ends (WASAPI, DirectSound, WinMM)
    # the program uses, and without what it never opens (joysticks, haptics, sensors, power,
    # Vulkan, OpenGL ES) or the test programs: half the build time.
    build_into sdl2 "$sdl_dir" "$sdl_src" -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF \
        -DSDL2_DISABLE_SDL2MAIN=OFF -DSDL_JOYSTICK=OFF -DSDL_HAPTIC=OFF -DSDL_HIDAPI=OFF \
        -DSDL_SENSOR=OFF -DSDL_POWER=OFF -DSDL_VULKAN=OFF -DSDL_OPENGLES=OFF
    rm -rf "$src"
fi

if [[ ! -f "$gtest_dir/lib/cmake/GTest/GTestConfig.cmake" ]]; then
    build_into googletest "$gtest_dir" /usr/src/googletest -DBUILD_GMOCK=ON -DBUILD_SHARED_LIBS=OFF \
        -Dgtest_disable_pthreads=OFF
fi

# The names the toolchain file looks under.
ln -sfn "$(basename "$sdl_dir")" "$deps/sdl2"
ln -sfn "$(basename "$gtest_dir")" "$deps/googletest"
echo "windows deps: SDL2 $sdl_version and GoogleTest $gtest_version for Windows in $deps"
