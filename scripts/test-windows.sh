#!/usr/bin/env bash
# The Windows build under Wine: no aligned wide-vector moves on velmora.exe's stack, the whole
# Windows suite through ctest, its path tests again under a Russian system locale, the
# headless flight compared byte for byte with the Linux build's, and the window on a private X
# server (the question answered, the scene shown and not black, Esc, exit status 0; at 150 %
# display scaling from a folder named in Cyrillic and Chinese, the program's icon on the window,
# SPACE into a Pictures folder so named; the error box without Data.kqx). Prints how long each step took.
# Usage: scripts/test-windows.sh LINUX_BUILD WINDOWS_BUILD [spills] [suite] [paths] [flight]
# [window] (the steps to run; all when none is named).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
linux=$(cd "${1:-$root/build/release}" && pwd)
win=$(cd "${2:-$root/build/windows}" && pwd)
shift $(($# < 2 ? $# : 2))
steps=" ${*:-spills suite paths flight window} "
out=$root/build/windows-check
mkdir -p "$out"
cache=${XDG_CACHE_HOME:-$HOME/.cache}/velmora
export WINEPREFIX=${VELMORA_WINEPREFIX:-$cache/wine-prefix}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
run=$root/scripts/wine-run.sh
failed=()
timings=()
xvfb_pid=""

cleanup() {
    wineserver -k 2>/dev/null || true
    [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null
    return 0
}
trap cleanup EXIT

step() {  # name, seconds
    timings+=("$(printf '%-34s %4d s' "$1" "$2")")
}

# Wine's first start in a new prefix makes the prefix (several seconds); a persistent wineserver
# keeps later starts short. Wine's desktop process is started here, with its output going
# nowhere: started by a test it would keep that test's output pipe open, and ctest would wait
# for the test until the whole suite ends.
warm_up() {
    unset DISPLAY WAYLAND_DISPLAY
    [[ -f "$WINEPREFIX/system.reg" ]] || wineboot -i >/dev/null 2>&1
    wineserver -p
    if [[ ! -f "$win/wine-desktop.exe" || "$root/scripts/wine-desktop.c" -nt "$win/wine-desktop.exe" ]]; then
        x86_64-w64-mingw32-gcc-posix -O2 -o "$win/wine-desktop.exe" "$root/scripts/wine-desktop.c"
    fi
    setsid "$run" "$win/wine-desktop.exe" </dev/null >/dev/null 2>&1 &
    "$run" "$win/velmora.exe" --version >/dev/null
}

started=$SECONDS
warm_up
step "Wine warm-up" $((SECONDS - started))

# --------------------------------------------------------------------- the suite
wants() { [[ "$steps" == *" $1 "* ]]; }

if wants spills; then
started=$SECONDS
echo "== wide vectors on the stack (aligned 32/64-byte moves fault on Windows)"
"$root/scripts/check-wide-spills.sh" --self-test || failed+=("the spill check's own test")
"$root/scripts/check-wide-spills.sh" "$win/velmora.exe" || failed+=("wide-vector spills")
step "wide-vector spill check" $((SECONDS - started))
fi

if wants suite; then
started=$SECONDS
echo "== the Windows suite under Wine"
"$root/scripts/run-suite.sh" windows "$out" || failed+=("the Windows suite")
step "Windows suite (ctest -j2)" $((SECONDS - started))
fi

# --------------------------------------------------------------------- the paths
# The program from folders named outside ASCII once more, under a system locale whose code page
# is not the Western one (the suite ran under the default one): Cyrillic fits its code page,
# Chinese does not.
if wants paths; then
started=$SECONDS
echo "== folders named in Cyrillic and Chinese under a Russian system locale (code page 1251)"
if (cd "$win" && LC_ALL=ru_RU.UTF-8 VELMORA_EXPECT_ACP=1251 \
        "$run" ./velmora_tests.exe --gtest_filter='WindowsPaths.*:NonAsciiPaths.*' --gtest_brief=1) \
        >"$out/paths-ru.log" 2>&1; then
    grep -E "^\[  PASSED  \]" "$out/paths-ru.log" | sed 's/^/   /'
else
    failed+=("the paths under a Russian locale")
    tail -30 "$out/paths-ru.log"
fi
step "paths under a Russian locale" $((SECONDS - started))
fi

# --------------------------------------------------------------------- the flight
if wants flight; then
started=$SECONDS
echo "== the headless flight, Linux against Windows"
"$root/scripts/compare-flight.sh" windows "$out" "$linux" "$win/velmora.exe" "$win/Data.kqx" "$run" \
    || failed+=("the headless flight")
step "headless flight compare" $((SECONDS - started))
fi

# --------------------------------------------------------------------- the window
# The window under Wine on a private X server without a window manager: the question box, Yes,
# the scene, Esc; then the error box of a program without its data. The program starts as a user
# starts it (presents wait for the refresh). The window opens black and the scene fades in once
# the first frames are drawn; on a busy machine Wine's first Direct3D frame can take ten seconds
# and more, so the scene is waited for, not expected after a fixed time.
# Sets status to the exit status of background process pid once it ends (it must be waited for
# in this shell, not in a subshell); 124 when it is still running after 20 s.
wait_for_exit() {
    local pid=$1
    status=124
    for _ in $(seq 40); do
        if ! kill -0 "$pid" 2>/dev/null; then
            wait "$pid"
            status=$?
            return
        fi
        sleep 0.5
    done
}

# Holds Esc until background process pid ends (the program reads the key as held between two
# frames, and a frame under Wine on a busy machine can outlast a short press), as a user would
# hold it. Sets ok to 1 when it does not end with status 0.
escape_ends() {
    local pid=$1 status
    xdotool keydown Escape
    wait_for_exit "$pid"
    xdotool keyup Escape 2>/dev/null
    if [[ $status -ne 0 ]]; then
        echo "   exit status $status after Esc"
        kill "$pid" 2>/dev/null
        ok=1
        return 1
    fi
}

window_test() {
    local missing=()
    for tool in Xvfb xdotool import convert xprop; do command -v $tool >/dev/null || missing+=($tool); done
    if [[ ${#missing[@]} -gt 0 ]]; then
        echo "   skipped: ${missing[*]} missing"
        return 0
    fi
    wineserver -k 2>/dev/null
    sleep 1
    exec 5< <(Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp 2>/dev/null)
    xvfb_pid=$!
    local display
    read -r -t 10 display <&5 || { echo "   no X server"; return 1; }
    export DISPLAY=:$display
    wineserver -p
    "$run" "$win/velmora.exe" --windowed >"$out/window.log" 2>&1 &
    local pid=$!
    # The question: Wine's own message box, named after the program.
    local box=""
    for _ in $(seq 60); do
        box=$(xdotool search --onlyvisible --name '^Velmora$' 2>/dev/null | head -1)
        [[ -n "$box" ]] && break
        sleep 0.5
    done
    [[ -n "$box" ]] || { echo "   the question box did not appear"; kill $pid; return 1; }
    import -window root "$out/window-question.png"
    eval "$(xdotool getwindowgeometry --shell "$box")"
    echo "   question box: ${WIDTH}x${HEIGHT}"
    # Focus by a click on the box's text, then Enter: Yes is the default button.
    xdotool mousemove $((X + WIDTH / 2)) $((Y + 15)) click 1
    sleep 0.3
    xdotool key Return
    # The 640x480 window.
    local window=""
    for _ in $(seq 60); do
        for w in $(xdotool search --onlyvisible --name '^Velmora$' 2>/dev/null); do
            eval "$(xdotool getwindowgeometry --shell "$w")"
            [[ "$WIDTH" -ge 640 && "$HEIGHT" -ge 480 ]] && window=$w
        done
        [[ -n "$window" ]] && break
        sleep 0.5
    done
    [[ -n "$window" ]] || { echo "   no 640x480 window after Yes"; kill $pid; return 1; }
    local mean deviation waited=0 ok=1
    while [[ $waited -lt 60 ]]; do
        sleep 2
        waited=$((waited + 2))
        import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/window.png"
        mean=$(convert "$out/window.png" -format '%[fx:mean]' info:)
        deviation=$(convert "$out/window.png" -format '%[fx:standard_deviation]' info:)
        if awk -v m="$mean" -v d="$deviation" 'BEGIN { exit !(m > 0.05 && d > 0.02) }'; then
            ok=0
            break
        fi
    done
    echo "   window ${WIDTH}x${HEIGHT} after $waited s: mean $mean, deviation $deviation ($out/window.png)"
    [[ $ok -eq 0 ]] || echo "   the window shows no scene"
    # Keys go to the window with the focus.
    xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 1
    sleep 0.3
    escape_ends $pid && echo "   Esc: exit status 0"
    # The error box: the program alone in a folder named in Cyrillic and Chinese, without its
    # Data.kqx; the box's text is also on standard error, where the folder must be spelled right.
    local alone="$out/Без данных 无数据"
    rm -rf "$alone" && mkdir -p "$alone" && cp "$win/velmora.exe" "$alone/"
    (cd "$alone" && "$run" ./velmora.exe --windowed --res hi >"$out/error.log" 2>&1) &
    pid=$!
    box=""
    for _ in $(seq 60); do
        box=$(xdotool search --onlyvisible --name '^Error: #53$' 2>/dev/null | head -1)
        [[ -n "$box" ]] && break
        sleep 0.5
    done
    if [[ -z "$box" ]]; then
        echo "   no \"Error: #53\" box without Data.kqx"
        kill $pid 2>/dev/null
        return 1
    fi
    import -window root "$out/window-error.png"
    eval "$(xdotool getwindowgeometry --shell "$box")"
    xdotool mousemove $((X + WIDTH / 2)) $((Y + 15)) click 1
    sleep 0.3
    xdotool key Return
    wait_for_exit $pid
    if [[ $status -eq 1 ]]; then
        echo "   \"Error: #53\" box without Data.kqx, OK: exit status 1"
    else
        echo "   exit status $status after the error box (1 expected)"
        kill $pid 2>/dev/null
        ok=1
    fi
    if grep -q "Data.kqx not found; looked in .*/Без данных 无数据/" "$out/error.log"; then
        echo "   the box names the folder \"Без данных 无数据\""
    else
        echo "   the box does not name the folder as it is spelled:"
        sed 's/^/     /' "$out/error.log"
        ok=1
    fi
    # Started without a console (as from Explorer), a wrong option reaches a box with its text.
    if (cd "$win" && "$run" ./velmora_tests.exe --gtest_filter=WindowsProgram.ErrorsWithoutAConsoleReachABox \
            --gtest_brief=1) >"$out/no-console.log" 2>&1 && grep -q "1 test" "$out/no-console.log" &&
        ! grep -q SKIPPED "$out/no-console.log"; then
        echo "   without a console: the error in a box \"Velmora\", OK"
    else
        echo "   without a console: no box with the error"
        tail -15 "$out/no-console.log"
        ok=1
    fi
    scaled_window_test || ok=1
    return $ok
}

# At 150 % display scaling (144 DPI), from a folder named in Cyrillic and Chinese, with the
# system's Pictures folder redirected to one so named: the window is 640x480 real pixels, the
# scene shows, SPACE writes its PNG into Pictures\Velmora, Esc ends it with status 0.
scaled_window_test() {
    local folder="$out/Проверка 测试" pictures="$out/Картинки 图片" ok=0
    local shell_folders='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders'
    rm -rf "$folder" "$pictures" && mkdir -p "$folder" "$pictures"
    cp "$win/velmora.exe" "$win/Data.kqx" "$folder/"
    "$run" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
    "$run" reg add "$shell_folders" /v "My Pictures" /t REG_EXPAND_SZ \
        /d "$(winepath -w "$pictures" 2>/dev/null)" /f >/dev/null 2>&1
    restore() {
        "$run" reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f >/dev/null 2>&1
        "$run" reg add "$shell_folders" /v "My Pictures" /t REG_EXPAND_SZ \
            /d '%USERPROFILE%\Pictures' /f >/dev/null 2>&1
    }
    (cd "$folder" && "$run" ./velmora.exe --windowed --res hi >"$out/scaled.log" 2>&1) &
    local pid=$! window=""
    for _ in $(seq 60); do
        for w in $(xdotool search --onlyvisible --name '^Velmora$' 2>/dev/null); do
            eval "$(xdotool getwindowgeometry --shell "$w")"
            [[ "$WIDTH" -ge 320 ]] && window=$w
        done
        [[ -n "$window" ]] && break
        sleep 0.5
    done
    if [[ -z "$window" ]]; then
        echo "   at 144 DPI from \"Проверка 测试\": no window"
        kill $pid 2>/dev/null
        restore
        return 1
    fi
    eval "$(xdotool getwindowgeometry --shell "$window")"
    if [[ "$WIDTH" -eq 640 && "$HEIGHT" -eq 480 ]]; then
        echo "   at 144 DPI: the window is 640x480 real pixels"
    else
        echo "   at 144 DPI: the window is ${WIDTH}x${HEIGHT}, not 640x480 real pixels"
        ok=1
    fi
    local waited=0 mean=0 deviation=0
    while [[ $waited -lt 60 ]]; do
        sleep 2
        waited=$((waited + 2))
        import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/scaled-window.png"
        mean=$(convert "$out/scaled-window.png" -format '%[fx:mean]' info:)
        deviation=$(convert "$out/scaled-window.png" -format '%[fx:standard_deviation]' info:)
        awk -v m="$mean" -v d="$deviation" 'BEGIN { exit !(m > 0.05 && d > 0.02) }' && break
    done
    echo "   the scene after $waited s: mean $mean, deviation $deviation ($out/scaled-window.png)"
    # The taskbar's and Alt+Tab's icon: Wine hands the window's icons to X (by now), at the
    # sizes this DPI asks for; the largest must be the program's own at that size (Wine's
    # default would stand there otherwise).
    local shown="" wanted="" size
    for w in $(xdotool search --onlyvisible --name '^Velmora$' 2>/dev/null); do
        shown+=$(xprop -id "$w" -notype -f _NET_WM_ICON 32c '=$0+' _NET_WM_ICON 2>/dev/null |
            sed 's/^_NET_WM_ICON=//' | tr ',' '\n' | awk '{ v[NR] = $1 + 0 } END {
                for (i = 1; i < NR; i += 2 + v[i] * v[i + 1]) if (v[i] > v[best]) best = i
                if (!best) exit
                n = v[best] * v[best + 1]
                for (k = 0; k < n; k++) {
                    p = v[best + 2 + k]; r += int(p / 65536) % 256; g += int(p / 256) % 256; b += p % 256
                }
                printf "%d %.3f %.3f %.3f", v[best], r / n / 255, g / n / 255, b / n / 255 }')
    done
    size=${shown%% *}
    for index in 0 1 2 3 4 5; do
        if [[ $(identify -format '%w' "$win/velmora.ico[$index]" 2>/dev/null) == "$size" ]]; then
            wanted="$size $(convert "$win/velmora.ico[$index]" -format '%[fx:mean.r] %[fx:mean.g] %[fx:mean.b]' info:)"
        fi
    done
    if [[ -n "$shown" && -n "$wanted" ]] && awk -v s="$shown" -v w="$wanted" 'BEGIN { split(s, a, " "); split(w, b, " ")
            for (i = 2; i <= 4; i++) if (a[i] - b[i] > 0.01 || b[i] - a[i] > 0.01) exit 1 }'; then
        echo "   the window's icon is the program's (${size}x$size, mean colour ${shown#* })"
    else
        echo "   the window's icon is not the program's: \"$shown\" against \"$wanted\""
        ok=1
    fi
    xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 1
    sleep 0.3
    # SPACE keeps the frame shown (and starts the screenshot fade); held until it is there.
    xdotool keydown space
    local shot=""
    for _ in $(seq 40); do
        shot=$(find "$pictures/Velmora" -name 'velmora-*.png' 2>/dev/null | head -1)
        [[ -n "$shot" ]] && break
        sleep 0.5
    done
    xdotool keyup space
    if [[ -n "$shot" ]]; then
        echo "   SPACE: $(basename "$shot") in \"Картинки 图片/Velmora\" ($(stat -c %s "$shot") bytes)"
    else
        echo "   SPACE: no picture in \"Картинки 图片/Velmora\""
        ok=1
    fi
    escape_ends $pid
    if [[ -n "$shot" ]] && ! grep -q "Screenshot saved: .*Картинки 图片.Velmora.velmora-" "$out/scaled.log"; then
        echo "   the saved picture's name is not printed as it is spelled:"
        sed 's/^/     /' "$out/scaled.log"
        ok=1
    fi
    restore
    return $ok
}
if wants window; then
    started=$SECONDS
    echo "== the window under Wine and Xvfb"
    window_test || failed+=("the window")
    step "window under Wine + Xvfb" $((SECONDS - started))
fi

echo "== timings"
printf '   %s\n' "${timings[@]}"
if [[ ${#failed[@]} -gt 0 ]]; then
    echo "FAILED: ${failed[*]}"
    exit 1
fi
echo "Windows: all checks passed"
