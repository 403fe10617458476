#!/usr/bin/env bash
# The Debian package as `make package` builds it: its name and architecture, its files laid out
# as Debian's games are, its dependencies read from the program's shared libraries, lintian's
# verdict (no error, no warning), and the program unpacked from it running on its own.
set -u
build=$2
cmake=${3:-cmake}
cpack=$(dirname "$cmake")/cpack
command -v "$cpack" >/dev/null || cpack=cpack
for tool in "$cpack" dpkg-deb dpkg-shlibdeps file lintian; do
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
# The architecture is the built program's: the file name, the control file and the program agree.
debs=("$work/out"/velmora_"$version"_*.deb)
[[ ${#debs[@]} -eq 1 && -f ${debs[0]} ]] || fail "not one velmora_${version}_ARCH.deb: $(ls "$work/out")"
deb=${debs[0]}
arch=${deb##*_}
arch=${arch%.deb}
[[ $(dpkg-deb -f "$deb" Architecture) == "$arch" ]] || fail "Architecture field is not $arch"
machine=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/games/velmora | file -b -)
case $arch in
amd64) [[ $machine == *x86-64* ]] ;;
arm64) [[ $machine == *aarch64* ]] ;;
*) true ;;
esac || fail "a $arch package holds a program for: $machine"

# Exactly these files, and nothing from the build tree or the tests.
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $NF}' | sort >"$work/files"
cat >"$work/expected" <<LIST
./usr/games/velmora
./usr/share/applications/velmora.desktop
./usr/share/doc/velmora/changelog.gz
./usr/share/doc/velmora/copyright
./usr/share/games/velmora/Data.kqx
./usr/share/icons/hicolor/128x128/apps/velmora.png
./usr/share/man/man6/velmora.6.gz
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

# The desktop entry starts the program where the package puts it.
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/applications/velmora.desktop |
    grep -qx 'Exec=/usr/games/velmora' || fail "the desktop entry does not start /usr/games/velmora"
# The changelog's latest entry is this version: a new version needs its entry.
zcat <(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/velmora/changelog.gz) | head -n 1 |
    grep -q "^velmora ($version) " || fail "the changelog's latest entry is not $version"

# Debian's own checks: no error and no warning (the notes it gives as information may stay).
lintian --fail-on error,warning "$deb" >"$work/lintian" 2>&1 ||
    fail "lintian: $(grep -v 'running with root privileges' "$work/lintian")"

# Unpacked anywhere, the program finds its data from its own place and runs (a package for
# another CPU through the emulator in VELMORA_EMULATOR).
read -ra emulator <<<"${VELMORA_EMULATOR:-}"
dpkg-deb -x "$deb" "$work/root" || fail "the package does not unpack"
cd "$work" || fail "no folder"
"${emulator[@]}" "$work/root/usr/games/velmora" --version | grep -qx "velmora $version" ||
    fail "--version of the packaged program"
"${emulator[@]}" "$work/root/usr/games/velmora" --headless --frames 5 --shot 5:frame.png 2>"$work/err" ||
    fail "the packaged program exited $?: $(cat "$work/err")"
[[ -s frame.png ]] || fail "the packaged program presented no frame"
# That was the package's data: without it the program says it looked in that folder.
rm "$work/root/usr/share/games/velmora/Data.kqx"
"${emulator[@]}" "$work/root/usr/games/velmora" --headless --frames 5 2>"$work/err" &&
    fail "ran without its data"
grep -qF "$work/root/usr/share/games/velmora/" "$work/err" ||
    fail "the data folder of the package is not where the program looks: $(cat "$work/err")"
echo "ok"
