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

# A frame after the last pass is never written; a wrong option is status 2 with one line.
"$velmora" --headless --frames 3 --shot 9:"$work/none.png" || fail "short run exited $?"
[[ ! -e "$work/none.png" ]] || fail "wrote a frame that was never presented"

"$velmora" --headless --bogus 2>"$work/err"
status=$?
[[ $status -eq 2 ]] || fail "wrong option gave status $status"
[[ $(wc -l <"$work/err") -eq 1 ]] || fail "wrong option printed $(wc -l <"$work/err") lines"

"$velmora" --help | grep -q -- '--headless' || fail "--help does not list --headless"

# --stats prints its one line with every field.
line=$("$velmora" --headless --frames 20 --stats)
for field in frames=20 seconds= fps= frame_ms_p50= frame_ms_p95= frame_ms_p99= peak_rss_mb= rss_mb_pass1000= rss_mb_end= animations_max=; do
    [[ $line == *"$field"* ]] || fail "stats line lacks $field: $line"
done

# An unwritable shot path is reported and fails the run.
"$velmora" --headless --frames 2 --shot 1:/nonexistent/dir/x.png 2>/dev/null && fail "unwritable shot passed"
echo "ok"
