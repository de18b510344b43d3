#!/usr/bin/env bash
# A monkey run: the real tqr905-tune against a virtual processor that loses
# and spoils replies and is pulled off the bus now and then, driven for a
# bounded time by random real input events (clicks on named controls and at
# random points, typing into fields, drags on the graph and the faders, the
# wheel, menus, dialogs opened and left, connect clicks). At the end the
# window must still be there and take input, every box it shows must close,
# and after a reconnect the window's data must equal the device's memory
# byte for byte: the window saves everything to a ".dspa" file through its
# own dialogs and tqr905 reads the same from the device.
#
#   monkey_session.sh TQR905-TUNE TQR905 TQR905-SIM [SECONDS] [SEED]
#
# The seed is printed; the same seed (MONKEY_SEED or the fifth argument)
# draws the same sequence of events (where a step looks at the window, e.g.
# whether a dialog is open, the faults' timing can still take it elsewhere). A failure prints the last steps;
# MONKEY_STEPS=FILE keeps the whole list of a run that passed.
source "$(dirname "$0")/driver.sh" "$1" "$2" "$3"
seconds=${4:-${MONKEY_SECONDS:-60}}
seed=${5:-${MONKEY_SEED:-$(($(date +%s%N) % 2147483647))}}
echo "monkey seed: $seed (replay with MONKEY_SEED=$seed), $seconds s"
RANDOM=$seed

STEPS=$WORK/steps.log
: >"$STEPS"
step_no=0
note() { echo "$step_no: $*" >>"$STEPS"; }
monkey_fail() {
    echo "--- monkey seed $seed, steps so far" >&2
    tail -n 60 "$STEPS" >&2
    fail "$@"
}
alive() { kill -0 "$APP_PID" 2>/dev/null || monkey_fail "tqr905-tune exited (see its output)"; }

# rnd N: R = a random number 0..N-1 (N > 0). Drawn in this shell, never in
# a subshell: a subshell's RANDOM is seeded afresh, and the run would not
# replay.
rnd() { R=$((RANDOM % $1)); }

# Controls the monkey leaves alone: the window's own minimise, close and
# title bar (without a window manager a minimised window cannot come back,
# and a window dragged off the screen takes no clicks), and what comes and
# goes with timing (tool tips, the transfer progress), so that a replay picks
# from the same list.
excluded='^(top\.minimize|top\.close|top\.title|mainWindow|topBar|qtooltip_label|transfer.*)$'
names() { awk '{ print $1 }' "$MAP" 2>/dev/null | grep -Ev "$excluded" | grep -v '^menu:' | LC_ALL=C sort -u || true; }
# pick REGEX: PICKED = a random shown control whose name matches.
pick() {
    local all n draw=$RANDOM
    mapfile -t all < <(names | grep -E "$1" || true)
    n=${#all[@]}
    [ "$n" -gt 0 ] || return 1
    PICKED=${all[$((draw % n))]}
}
# The shown top-level windows other than the main one (dialogs, message
# boxes, menus), the newest last.
# A tool tip comes and goes with the pointer's timing and has no title: it
# is not counted, so that a replay takes the same turns.
extra_ids() {
    local w
    for w in $(xdotool search --onlyvisible --pid "$APP_PID" 2>/dev/null); do
        [ "$w" != "$MAIN_ID" ] && [ -n "$(xdotool getwindowname "$w" 2>/dev/null)" ] && echo "$w"
    done
    return 0
}
extra_windows() { extra_ids | wc -l; }
# Escape to the newest of them. There is no window manager to give a new
# dialog the keyboard focus, so it is given here as a desktop would.
escape_top() {
    local top
    top=$(extra_ids | tail -n 1)
    [ -z "$top" ] || xdotool windowfocus "$top" 2>/dev/null || true
    note "key Escape in '$(xdotool getwindowname "$top" 2>/dev/null || true)'"
    xdotool key Escape
}
# at NAME: "x y w h" of a control.
rect() { line "$1" | cut -d' ' -f2-5; }

texts=(-6 -12.5 0 3 1k 1.5k 80 20000 99999 -99999 abc "" 0.5 7.2 100 -60 12 2.2kHz 1e3 " " -0)
keys=(Escape Tab Return space Up Down Page_Up Page_Down shift+Tab Escape)

act_click() {
    local n
    pick . || return 0
    n=$PICKED
    note "click $n"
    local x y w h
    read -r x y w h <<<"$(rect "$n")"
    [ -n "$h" ] || return 0
    xdotool mousemove $((x + w / 2)) $((y + h / 2)) click 1
}
act_point() {
    local x y w h px py
    read -r x y w h <<<"$(rect workspace)"
    [ -n "$h" ] || return 0
    # Below the title bar, where the window's controls are.
    rnd "$w"
    px=$((x + R))
    rnd $((h - 50))
    py=$((y + 50 + R))
    note "click at $px $py"
    xdotool mousemove "$px" "$py" click 1
}
act_type() {
    local n text commit
    pick '(\.gain|\.freq|\.q|\.delay|^top\.master|^limiter\.[a-z]+|Edit|field)$' || return 0
    n=$PICKED
    text=${texts[$((RANDOM % ${#texts[@]}))]}
    commit=$((RANDOM % 4))
    local x y w h
    read -r x y w h <<<"$(rect "$n")"
    [ -n "$h" ] || return 0
    note "type '$text' into $n, then ${keys[$commit]}"
    xdotool mousemove $((x + w / 2)) $((y + h / 2)) click 1 key ctrl+a
    [ -z "$text" ] || xdotool type --delay 10 -- "$text"
    case $commit in 0) xdotool key Escape ;; 1) xdotool key Tab ;; *) xdotool key Return ;; esac
}
act_drag() {
    local n dx dy x y w h i
    pick '(fader|Fader|^graph\.[a-z0-9]+)$' || return 0
    n=$PICKED
    dx=$((RANDOM % 121 - 60))
    dy=$((RANDOM % 161 - 80))
    read -r x y w h <<<"$(rect "$n")"
    [ -n "$h" ] || return 0
    x=$((x + w / 2))
    y=$((y + h / 2))
    note "drag $n by $dx $dy"
    xdotool mousemove "$x" "$y" mousedown 1
    for i in 1 2 3 4 5; do
        xdotool mousemove $((x + dx * i / 5)) $((y + dy * i / 5))
        sleep 0.02
    done
    xdotool mouseup 1
}
act_wheel() {
    local n button notches x y w h
    pick . || return 0
    n=$PICKED
    button=$((4 + RANDOM % 2))
    notches=$((1 + RANDOM % 3))
    read -r x y w h <<<"$(rect "$n")"
    [ -n "$h" ] || return 0
    note "wheel $([ "$button" = 4 ] && echo up || echo down) x$notches over $n"
    xdotool mousemove $((x + w / 2)) $((y + h / 2)) click --repeat "$notches" --delay 30 "$button"
}
# A menu of the top bar, then one of its entries (not the firmware update,
# which would wait for a loader file) or Escape.
act_menu() {
    local button entries n pickn x y w h
    button=top.menu
    [ $((RANDOM % 2)) = 0 ] || button=top.groups
    pickn=$RANDOM
    read -r x y w h <<<"$(rect "$button")"
    [ -n "$h" ] || return 0
    xdotool mousemove $((x + w / 2)) $((y + h / 2)) click 1
    sleep 0.3
    mapfile -t entries < <(grep '^menu:' "$MAP" 2>/dev/null | grep -Eiv 'firmware|upgrade|固件|升级' |
        cut -d' ' -f1 || true)
    n=${#entries[@]}
    if [ "$n" = 0 ] || [ $((pickn % 5)) = 0 ]; then
        note "open $button, then Escape"
        xdotool key Escape
        return 0
    fi
    local entry=${entries[$((pickn % n))]}
    note "open $button, choose $entry"
    read -r x y w h <<<"$(rect "$entry")"
    [ -n "$h" ] || return 0
    xdotool mousemove $((x + w / 2)) $((y + h / 2)) click 1
}
act_right_click() {
    local n x y w h
    pick . || return 0
    n=$PICKED
    read -r x y w h <<<"$(rect "$n")"
    [ -n "$h" ] || return 0
    note "right-click $n"
    xdotool mousemove $((x + w / 2)) $((y + h / 2)) click 3
}
act_key() {
    local k=${keys[$((RANDOM % ${#keys[@]}))]}
    note "key $k"
    xdotool key "$k"
}
act_connect() {
    local x y w h
    read -r x y w h <<<"$(rect top.connect)"
    [ -n "$h" ] || return 0
    note "click top.connect"
    xdotool mousemove $((x + w / 2)) $((y + h / 2)) click 1
}
unplugs=0
act_unplug() {
    local away=$((2 + RANDOM % 15))
    [ "$unplugs" -lt 4 ] || return 0
    unplugs=$((unplugs + 1))
    note "unplug for ${away}00 ms, replug"
    sim unplug
    sleep "$((away / 10)).$((away % 10))"
    sim replug
}

# Online against a sound device first, so that the window has the device's
# settings; then the same memory is served by a device with faults.
start_x
start_sim
"$CLI" set ch6.gain=-1 >/dev/null || fail "tqr905 set failed"
mkdir -p "$WORK/home"
cd "$WORK/home" || fail "no folder $WORK/home"  # where the file dialogs open
start_app --lang en
wait_online ch6.gain -1dB
MAIN_ID=$(xdotool search --onlyvisible --pid "$APP_PID" | head -n 1)
[ "$(xdotool search --onlyvisible --pid "$APP_PID" | wc -l)" = 1 ] || fail "more than one window at start"
sound_save=$(click top.groups && sleep 0.3 && grep '^menu:' "$MAP" | grep -n '^menu:Sound_Save ' | cut -d: -f1)
xdotool key Escape
[ -n "$sound_save" ] || fail "no Sound Save entry in the groups menu"
sim quit
stop_sim() { for _ in $(seq 100); do [ -S "$BUS/tqr905.sock" ] || return 0; sleep 0.05; done; }
stop_sim
exec 7>&-
start_sim --drop-every 97 --corrupt-every 89 --resend-every 13
# The window finds the device again by itself; the monkey starts once it is
# online (or has said it could not connect).
for _ in $(seq 100); do
    [ "$(line top.connect | cut -d' ' -f6)" = 1 ] && [ -z "$(line transfer)" ] && break
    [ -n "$(line qt_msgbox_label)" ] && break
    sleep 0.1
done

end=$((SECONDS + seconds))
dialog_steps=0
while [ "$SECONDS" -lt "$end" ]; do
    step_no=$((step_no + 1))
    alive
    # Every step draws the same numbers, whatever it finds.
    rnd 100
    r=$R
    dialog_limit=$((2 + RANDOM % 5))
    pause=$((1 + RANDOM % 3))
    if [ "$(extra_windows)" -gt 0 ]; then
        dialog_steps=$((dialog_steps + 1))
        # Dialogs get a few steps of their own, then are left with Escape.
        if [ "$dialog_steps" -gt "$dialog_limit" ]; then
            escape_top
            r=-1
        fi
    else
        dialog_steps=0
    fi
    if [ "$r" -lt 0 ]; then :
    elif [ "$r" -lt 28 ]; then act_click
    elif [ "$r" -lt 36 ]; then act_point
    elif [ "$r" -lt 52 ]; then act_type
    elif [ "$r" -lt 63 ]; then act_drag
    elif [ "$r" -lt 72 ]; then act_wheel
    elif [ "$r" -lt 80 ]; then act_menu
    elif [ "$r" -lt 85 ]; then act_right_click
    elif [ "$r" -lt 93 ]; then act_key
    elif [ "$r" -lt 97 ]; then act_connect
    else act_unplug
    fi
    sleep "0.$pause"
done
echo "monkey: $step_no steps, $unplugs unplug cycles"
step_no=end

# Every window the monkey left open closes with Escape (a message box, a
# dialog, a menu, a file dialog).
close_extra_windows() {
    xdotool mouseup 1 mouseup 3 2>/dev/null || true
    for _ in $(seq 30); do
        alive
        [ "$(extra_windows)" -gt 0 ] || return 0
        escape_top
        sleep 0.3
    done
    monkey_fail "a window stays open after Escape: $(xdotool search --onlyvisible --pid "$APP_PID" |
        while read -r w; do xdotool getwindowname "$w"; done | tr '\n' '|')"
}
close_extra_windows

# The final refresh: a sound device takes the same memory over, and the
# window reconnects (by itself, else by a click on Connect).
sim quit
stop_sim
exec 7>&-
start_sim
online=0
for _ in $(seq 10); do
    sleep 1
    close_extra_windows
    [ "$(line top.connect | cut -d' ' -f6)" = 1 ] && { online=1; break; }
    [ "$(line top.connect | cut -d' ' -f6)" = 0 ] && [ -z "$(line transfer)" ] && click top.connect
done
[ "$online" = 1 ] || monkey_fail "the window did not come online again"
wait_gone transfer 20
sleep 1
close_extra_windows
wait_for top.connect 6 1

# The window still takes input, and a last edit reaches the device.
last_gain=-$((1 + RANDOM % 20))
type_into ch1.gain "$last_gain"
wait_for ch1.gain 8 "${last_gain}dB"

# Everything, saved by the window through its own dialogs.
click top.groups
sleep 0.3
entry=$(grep '^menu:' "$MAP" | sed -n "${sound_save}p" | cut -d' ' -f1)
[ -n "$entry" ] || monkey_fail "the groups menu did not open"
click "$entry"
click preset.scopeAll
click preset.saveFile
wait_for fileNameEdit
type_into fileNameEdit "$WORK/window.dspa"
for _ in $(seq 200); do
    [ -s "$WORK/window.dspa" ] && break
    sleep 0.05
done
[ -s "$WORK/window.dspa" ] || monkey_fail "the window did not save window.dspa"
close_extra_windows

click top.close
wait_exit 20
if grep -Eq 'Sanitizer|runtime error:' "$WORK/app.log"; then
    monkey_fail "a sanitizer report"
fi

expect_value ch1.gain "ch1.gain=${last_gain}dB"
"$CLI" read --out "$WORK/device.dspa" >/dev/null 2>"$WORK/read.log" || fail "tqr905 read failed: $(cat "$WORK/read.log")"
if ! cmp "$WORK/window.dspa" "$WORK/device.dspa"; then
    "$CLI" dump --json "$WORK/window.dspa" >"$WORK/window.json" || true
    "$CLI" dump --json "$WORK/device.dspa" >"$WORK/device.json" || true
    diff "$WORK/window.json" "$WORK/device.json" | head -n 40 >&2 || true
    monkey_fail "the window's data differs from the device's memory"
fi
[ -z "${MONKEY_STEPS:-}" ] || cp "$STEPS" "$MONKEY_STEPS"
echo "PASS (seed $seed)"
