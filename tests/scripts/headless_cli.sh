#!/usr/bin/env bash
# The headless program from the outside: exit statuses, frame files, reproducibility.
set -u
velmora=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

png_size() {  # prints "W H" from a PNG's header
    local w h
    w=$(od -An -tu1 -j16 -N4 "$1" | awk '{print $1*16777216 + $2*65536 + $3*256 + $4}')
    h=$(od -An -tu1 -j20 -N4 "$1" | awk '{print $1*16777216 + $2*65536 + $3*256 + $4}')
    echo "$w $h"
}

"$velmora" --headless --frames 10 --seed 3 --shot 5:"$work/a.png" || fail "hi run exited $?"
[[ $(png_size "$work/a.png") == "640 480" ]] || fail "hi frame is $(png_size "$work/a.png")"

"$velmora" --headless --frames 10 --seed 3 --shot 5:"$work/b.png" || fail "second run exited $?"
cmp -s "$work/a.png" "$work/b.png" || fail "same options gave different frames"

"$velmora" --headless --frames 10 --res lo --shot 5:"$work/lo.png" || fail "lo run exited $?"
[[ $(png_size "$work/lo.png") == "320 240" ]] || fail "lo frame is $(png_size "$work/lo.png")"

# A frame after the last pass is refused before the run (status 2, one line); one that an Esc
# in the script keeps from coming is reported and fails the run; a wrong option is status 2
# with one line.
"$velmora" --headless --frames 3 --shot 9:"$work/none.png" 2>"$work/err"
status=$?
[[ $status -eq 2 && $(wc -l <"$work/err") -eq 1 ]] || fail "shot after --frames: $status $(cat "$work/err")"
[[ ! -e "$work/none.png" ]] || fail "wrote a frame that was never presented"
echo "2 key ESC down" >"$work/esc.txt"
"$velmora" --headless --frames 5 --input "$work/esc.txt" --shot 1:"$work/e1.png" \
    --shot 4:"$work/e4.png" 2>"$work/err"
status=$?
[[ $status -eq 1 ]] || fail "a shot the run never reached gave status $status"
grep -q "e4.png" "$work/err" || fail "the missed shot is not named: $(cat "$work/err")"
[[ -e "$work/e1.png" && ! -e "$work/e4.png" ]] || fail "wrong frames kept when Esc ended the run"

# Two shots of one pass: both written.
"$velmora" --headless --frames 2 --shot 2:"$work/one.png" --shot 2:"$work/two.png" ||
    fail "two shots of a pass exited $?"
cmp -s "$work/one.png" "$work/two.png" || fail "two shots of a pass: not both written"

# Input that cannot be used is refused before the run: a folder as script, text as picture.
"$velmora" --headless --frames 2 --input "$work" 2>"$work/err"
[[ $? -eq 2 ]] && grep -q "cannot read input script" "$work/err" || fail "folder as script: $(cat "$work/err")"
echo "hello" >"$work/text.png"
"$velmora" --headless --frames 2 --desktop "$work/text.png" 2>"$work/err"
[[ $? -eq 2 ]] && grep -q "text.png is not a picture" "$work/err" || fail "text as desktop: $(cat "$work/err")"

"$velmora" --headless --bogus 2>"$work/err"
status=$?
[[ $status -eq 2 ]] || fail "wrong option gave status $status"
[[ $(wc -l <"$work/err") -eq 1 ]] || fail "wrong option printed $(wc -l <"$work/err") lines"

"$velmora" --help | grep -q -- '--headless' || fail "--help does not list --headless"

# Output that cannot be written (a full disk) is not a success.
for args in --version "--headless --frames 2 --stats"; do
    # shellcheck disable=SC2086
    "$velmora" $args >/dev/full 2>"$work/err"
    status=$?
    [[ $status -eq 1 ]] && grep -q "cannot write standard output" "$work/err" ||
        fail "$args into a full disk: status $status, $(cat "$work/err")"
done

# --stats prints its one line with every field.
line=$("$velmora" --headless --frames 20 --stats)
# A run of 20 passes never reached pass 1000: no figure for it, rather than a 0.0.
for field in frames=20 seconds= fps= frame_ms_p50= frame_ms_p95= frame_ms_p99= peak_rss_mb= "rss_mb_pass1000=n/a " rss_mb_end= animations_max=; do
    [[ $line == *"$field"* ]] || fail "stats line lacks $field: $line"
done

# A shot into a missing folder is refused before the run, the other frames not written.
"$velmora" --headless --frames 2 --shot 1:"$work/early.png" --shot 2:/nonexistent/dir/x.png \
    2>"$work/err"
[[ $? -eq 2 ]] && grep -q "no folder /nonexistent/dir" "$work/err" ||
    fail "shot into a missing folder: $(cat "$work/err")"
[[ ! -e "$work/early.png" ]] || fail "frames written for a refused run"
# One that fails while writing is reported and fails the run.
"$velmora" --headless --frames 2 --shot 1:/dev/full 2>/dev/null && fail "unwritable shot passed"
echo "ok"
