#!/usr/bin/env bash
# A session flown in the real window replays headless to the very frames it showed, as a person
# would try it: a private X server (Xvfb), --record, A and Left held for 2.5 s, SPACE, Esc; then
# --headless --input with --shot at the pass SPACE came in. The shot must be the picture SPACE
# kept, pixel for pixel (both decoded: the kept picture is the 16-bit frame widened to 24 bits).
set -u
velmora=$1
budget=${VELMORA_E2E_SECONDS:-240}

for tool in Xvfb xdotool xwininfo xdpyinfo compare; do
    command -v "$tool" >/dev/null || {
        echo "SKIP: $tool is not installed (make deps installs it)"
        exit 77
    }
done

work=$(mktemp -d)
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"  # see window_e2e.sh
xvfb_pid="" velmora_pid=""
cleanup() {
    [[ -n $velmora_pid ]] && kill "$velmora_pid" 2>/dev/null
    [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
started=$SECONDS

fail() {
    echo "FAIL: $*"
    [[ -f $work/live.err ]] && grep -v '^ALSA lib' "$work/live.err" | tail -n 10
    if [[ -n ${VELMORA_E2E_KEEP:-} ]]; then
        cp -r "$work" "$VELMORA_E2E_KEEP" && echo "files kept in $VELMORA_E2E_KEEP"
    fi
    exit 1
}

# wait_for SECONDS WHAT COMMAND...: runs COMMAND every 0.2 s until it succeeds.
wait_for() {
    local limit=$1 what=$2
    shift 2
    local until=$((SECONDS + limit))
    until "$@"; do
        ((SECONDS - started < budget)) || fail "the test's $budget s budget ran out waiting for $what"
        ((SECONDS < until)) || fail "no $what after $limit s"
        if [[ -n $velmora_pid ]] && ! kill -0 "$velmora_pid" 2>/dev/null; then
            wait "$velmora_pid"
            fail "velmora ended (status $?) while waiting for $what"
        fi
        sleep 0.2
    done
}

Xvfb -displayfd 3 -screen 0 1280x720x24 -nolisten tcp -noreset 3>"$work/display" \
    2>"$work/xvfb.err" &
xvfb_pid=$!
has_display() { [[ -s $work/display ]] && xdpyinfo -display ":$(cat "$work/display")" >/dev/null 2>&1; }
wait_for 30 "X server" has_display
export DISPLAY=:$(cat "$work/display")

mkdir -p "$work/home" "$work/pictures"
env HOME="$work/home" XDG_PICTURES_DIR="$work/pictures" "$velmora" --res hi \
    --record "$work/session.txt" >"$work/live.out" 2>"$work/live.err" &
velmora_pid=$!

window() { xwininfo -root -tree | awk '/"Velmora":/ {print $1; exit}'; }
window_shown() {
    win=$(window)
    [[ -n $win ]] && xwininfo -id "$win" 2>/dev/null | grep -q 'IsViewable'
}
wait_for 60 "the window" window_shown
xdotool windowfocus "$win" 2>/dev/null
focused() { [[ $(xdotool getwindowfocus 2>/dev/null) == $((win)) ]]; }
wait_for 20 "keyboard focus on the window" focused
# Two seconds of frames first, so that the fade-in is under way and the view is the scene's.
shown_for_a_while() { (($(grep -c '^[0-9]* time ' "$work/session.txt") >= 120)); }
wait_for 60 "120 frames shown" shown_for_a_while

xdotool keydown a keydown Left
sleep 2.5
xdotool keyup a keyup Left
xdotool keydown space
sleep 0.2
xdotool keyup space
kept() { compgen -G "$work/pictures/Velmora/velmora-*.png" >/dev/null; }
wait_for 20 "the picture SPACE keeps" kept
xdotool keydown Escape
gone() { ! kill -0 "$velmora_pid" 2>/dev/null; }
until gone; do
    ((SECONDS - started < budget)) || fail "velmora still running after Esc"
    sleep 0.2
done
wait "$velmora_pid"
status=$?
velmora_pid=""
xdotool keyup Escape
((status == 0)) || fail "the window's run ended with status $status"
picture=$(compgen -G "$work/pictures/Velmora/velmora-*.png" | head -n 1)

# The pass whose event pump typed the space: SPACE keeps the frame shown then.
space_pass=$(awk '$2 == "type" && $3 ~ /\{SPACE\}/ {print $1; exit}' "$work/session.txt")
fly_pass=$(awk '$2 == "key" && $3 == "A" && $4 == "down" {print $1; exit}' "$work/session.txt")
[[ -n $space_pass && -n $fly_pass ]] ||
    fail "the recording holds no SPACE or no A: $(grep -v ' time ' "$work/session.txt" | head)"

"$velmora" --headless --input "$work/session.txt" --shot "$fly_pass:$work/before.png" \
    --shot "$space_pass:$work/replayed.png" >"$work/replay.out" 2>"$work/replay.err" ||
    fail "the replay failed: $(cat "$work/replay.err")"

# compare -metric AE: the number of pixels that differ; MAE: the mean difference, 0 to 255.
differing=$(compare -metric AE "$picture" "$work/replayed.png" null: 2>&1)
mean=$(compare -metric MAE "$picture" "$work/replayed.png" null: 2>&1 | sed 's/.*(\(.*\)).*/\1/')
moved=$(compare -metric AE "$picture" "$work/before.png" null: 2>&1)
echo "SPACE at pass $space_pass, A from pass $fly_pass; $(grep -c ' time ' "$work/session.txt") passes recorded"
echo "replayed frame against the kept picture: $differing pixels differ (mean $(awk -v m="$mean" 'BEGIN {printf "%.2f", m * 255}') of 255); the flight changed $moved pixels"
[[ $moved =~ ^[0-9]+$ ]] && ((moved > 10000)) || fail "the flight did not move the view ($moved pixels), nothing tested"
[[ $differing == 0 ]] || fail "the replay's frame of pass $space_pass is not the picture SPACE kept"
echo "ok in $((SECONDS - started)) s"
