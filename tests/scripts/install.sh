#!/usr/bin/env bash
# The installed program: the files land where Linux desktops look for them, and the program
# runs from any folder, finding its data beside itself or in the installation's data folder,
# even when it may write nothing there.
set -u
build=$2
cmake=${3:-cmake}
work=$(mktemp -d)
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

prefix=$work/prefix
"$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
    fail "install failed: $(cat "$work/install.log")"
for f in bin/velmora share/velmora/Data.kqx share/applications/velmora.desktop \
    share/icons/hicolor/128x128/apps/velmora.png share/doc/velmora/copyright; do
    [[ -f $prefix/$f ]] || fail "install did not write $f"
done
[[ -x $prefix/bin/velmora ]] || fail "bin/velmora is not executable"
[[ ! -e $prefix/bin/Data.kqx ]] || fail "the archive was installed beside the program"
icon=$prefix/share/icons/hicolor/128x128/apps/velmora.png
[[ $(od -An -c -j1 -N3 "$icon" | tr -d ' ') == PNG ]] || fail "the icon is not a PNG"
[[ $(od -An -tu1 -j16 -N8 "$icon" | tr -s ' ') == " 0 0 0 128 0 0 0 128" ]] ||
    fail "the icon is not 128x128"
desktop=$prefix/share/applications/velmora.desktop
grep -qx 'Exec=velmora' "$desktop" || fail "desktop entry does not start velmora"
grep -qx 'Icon=velmora' "$desktop" || fail "desktop entry does not name the icon"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "desktop entry does not validate"
fi

# From an unrelated folder: the data is found from the program's own place.
mkdir "$work/elsewhere"
cd "$work/elsewhere" || fail "no folder"
"$prefix/bin/velmora" --headless --frames 5 --shot 5:frame.png 2>"$work/err" ||
    fail "installed program exited $?: $(cat "$work/err")"
[[ -s frame.png ]] || fail "installed program presented no frame"
[[ -z $(ls -A "$prefix/bin" | grep -v '^velmora$') ]] || fail "the run left files in bin/"

# An installation nobody may write to: the scratch file goes to a private temporary file.
chmod -R a-w "$prefix"
chmod a+rx "$work"
run_unprivileged=("$prefix/bin/velmora")
if [[ $(id -u) -eq 0 ]]; then
    # Root writes anywhere; a plain user is what an installed program meets.
    command -v setpriv >/dev/null || { echo "SKIP: running as root without setpriv"; exit 77; }
    run_unprivileged=(setpriv --reuid=65534 --regid=65534 --clear-groups "$prefix/bin/velmora")
fi
mkdir -m 1777 "$work/tmp"
TMPDIR=$work/tmp "${run_unprivileged[@]}" --headless --frames 5 2>"$work/err" ||
    fail "program in an unwritable installation exited $?: $(cat "$work/err")"
[[ -z $(ls -A "$work/tmp") ]] || fail "scratch files left behind: $(ls -A "$work/tmp")"
chmod -R u+w "$prefix"

# Beside the program comes first: a broken archive there is the one read.
echo "not an archive" >"$prefix/bin/Data.kqx"
"$prefix/bin/velmora" --headless --frames 5 2>"$work/err" && fail "broken archive beside passed"
grep -q "$prefix/bin/Data.kqx" "$work/err" || fail "error does not name bin/Data.kqx: $(cat "$work/err")"
rm "$prefix/bin/Data.kqx"

# No archive anywhere: exit 1 with an error that says where the program looked.
mv "$prefix/share/velmora/Data.kqx" "$work/Data.kqx"
"$prefix/bin/velmora" --headless --frames 5 2>"$work/err"
status=$?
[[ $status -eq 1 ]] || fail "missing archive gave status $status"
grep -q "Error: #53" "$work/err" || fail "missing archive is not error 53: $(cat "$work/err")"
for place in "$prefix/bin/" "$prefix/share/velmora/"; do
    grep -qF "$place" "$work/err" || fail "error does not name $place: $(cat "$work/err")"
done
echo "ok"
