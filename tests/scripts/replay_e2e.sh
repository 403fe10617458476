#!/usr/bin/env bash
# A session flown in the real window replays headless to the very frames it showed, as a person
# would try it: a private X server (Xvfb), --record, A and Left held for 2.5 s, SPACE, Esc; then
# --headless --input with --shot at the pass SPACE came in. The shot must be the picture SPACE
# kept, pixel for pixel (both decoded: the kept picture is the 16-bit frame widened to 24 bits).
set -u
velmora=$1
budget=${VELMORA_E2E_SECONDS:-240}

source "$(dirname "$0")/lib/x-session.bash"
require_tools Xvfb xdotool xwininfo xdpyinfo compare
on_failure() {
    [[ -f $work/live.err ]] && grep -v '^ALSA lib' "$work/live.err" | tail -n 10
}

start_x_server 1280x720

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
