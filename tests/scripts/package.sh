#!/usr/bin/env bash
# The Debian package as `make package` builds it: its name, its files, its dependencies read
# from the program's shared libraries, and the program unpacked from it running on its own.
set -u
build=$2
cmake=${3:-cmake}
cpack=$(dirname "$cmake")/cpack
command -v "$cpack" >/dev/null || cpack=cpack
for tool in "$cpack" dpkg-deb dpkg-shlibdeps file; do
    command -v "$tool" >/dev/null || {
        echo "SKIP: $tool is not installed (make deps installs it)"
        exit 77
    }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "no X.Y.Z project version in the cache: '$version'"
"$cpack" --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
    fail "cpack failed: $(tail -n 20 "$work/cpack.log")"
deb=$work/out/velmora_${version}_amd64.deb
[[ -f $deb ]] || fail "no $(basename "$deb"): $(ls "$work/out")"

# Exactly these files, and nothing from the build tree or the tests.
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $NF}' | sort >"$work/files"
cat >"$work/expected" <<LIST
./usr/bin/velmora
./usr/share/applications/velmora.desktop
./usr/share/icons/hicolor/128x128/apps/velmora.png
./usr/share/man/man6/velmora.6.gz
./usr/share/velmora/Data.kqx
LIST
diff -u "$work/expected" "$work/files" >"$work/diff" || fail "package files differ: $(cat "$work/diff")"

[[ $(dpkg-deb -f "$deb" Package) == velmora ]] || fail "package name"
[[ $(dpkg-deb -f "$deb" Version) == "$version" ]] || fail "package version"
[[ $(dpkg-deb -f "$deb" Section) == games ]] || fail "package section"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for lib in libc6 libsdl2-2.0-0 libstdc++6 libx11-6; do
    [[ ", $depends," == *", $lib"[\ ,]* ]] || fail "Depends lacks $lib: $depends"
done
[[ $depends != *-dev* ]] || fail "Depends names a development package: $depends"

# The manual page is a section 6 page that names the program.
zcat <(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/man/man6/velmora.6.gz) |
    grep -q '^\.TH VELMORA 6' || fail "the manual page is not a section 6 page"

# Unpacked anywhere, the program finds its data from its own place and runs.
dpkg-deb -x "$deb" "$work/root" || fail "the package does not unpack"
cd "$work" || fail "no folder"
"$work/root/usr/bin/velmora" --version | grep -qx "velmora $version" || fail "--version of the packaged program"
"$work/root/usr/bin/velmora" --headless --frames 5 --shot 5:frame.png 2>"$work/err" ||
    fail "the packaged program exited $?: $(cat "$work/err")"
[[ -s frame.png ]] || fail "the packaged program presented no frame"
echo "ok"
