# Functions for driving the real tqr905-tune under Xvfb with real input
# events (xdotool). Sourced by the end-to-end scenarios with the programs:
#
#   source driver.sh TQR905-TUNE TQR905 TQR905-SIM
#
# The application writes the positions and states of its named controls to
# $MAP (see gui/app/widget_map.h); every action here looks its target up
# there. Everything started here is stopped and the scratch folder removed
# when the scenario ends.

set -euo pipefail

TUNE=$1 CLI=$2 SIM=$3
WORK=$(mktemp -d /tmp/tqr905-e2e-XXXXXX)  # also the runtime folder: private
MAP=$WORK/widgets.map
BUS=$WORK/bus
STATE=$WORK/sim.state
SIM_IN=$WORK/sim.in
mkdir -p "$BUS"
export TQR905_VHID_DIR=$BUS XDG_RUNTIME_DIR=$WORK

pids=()
fail() {
    echo "FAIL: $*" >&2
    [ -f "$WORK/app.log" ] && { echo "--- tqr905-tune output" >&2; cat "$WORK/app.log" >&2; }
    [ -f "$MAP" ] && { echo "--- widget map" >&2; cat "$MAP" >&2; }
    exit 1
}
stop_all() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
    pids=()
}
trap 'stop_all; rm -rf "$WORK"' EXIT

start_x() {
    # The server picks a free display itself and writes its number.
    Xvfb -displayfd 8 -screen 0 1400x800x24 -nolisten tcp 8>"$WORK/display" \
        >"$WORK/xvfb.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 100); do
        if [ -s "$WORK/display" ]; then
            export DISPLAY=":$(head -n 1 "$WORK/display")"
            xdpyinfo >/dev/null 2>&1 && return
        fi
        sleep 0.1
    done
    fail "Xvfb did not start (see $WORK/xvfb.log)"
}

# start_sim [options]: the virtual processor, its commands read from $SIM_IN.
start_sim() {
    rm -f "$SIM_IN"
    mkfifo "$SIM_IN"
    "$SIM" --bus "$BUS" --quiet --state "$STATE" "$@" <"$SIM_IN" &
    pids+=($!)
    exec 7>"$SIM_IN"  # keeps the fifo open for later commands
    for _ in $(seq 100); do
        [ -S "$BUS/tqr905.sock" ] && return
        sleep 0.05
    done
    fail "tqr905-sim did not start"
}
sim() { echo "$*" >&7; }
start_app() {
    rm -f "$MAP"
    TQR905_WIDGET_MAP=$MAP "$TUNE" "$@" >"$WORK/app.log" 2>&1 &
    APP_PID=$!
    pids+=($APP_PID)
}

# wait_exit [SECONDS]: until tqr905-tune has ended; fails unless it ended
# with status 0.
wait_exit() {
    local secs=${1:-10} status=0
    for _ in $(seq $((secs * 20))); do
        if ! kill -0 "$APP_PID" 2>/dev/null; then
            wait "$APP_PID" || status=$?
            [ "$status" = 0 ] || fail "tqr905-tune ended with status $status"
            return 0
        fi
        sleep 0.05
    done
    fail "tqr905-tune did not end"
}

# line NAME: the map line of a control (empty when not shown).
line() { awk -v n="$1" '$1 == n { print; exit }' "$MAP" 2>/dev/null || true; }
# wait_for NAME [FIELD VALUE] [SECONDS]: until the control is shown (and
# FIELD of its line, 6 checked, 7 enabled, 8 text, equals VALUE).
wait_for() {
    local name=$1 field=${2:-} value=${3:-} secs=${4:-10} l
    local tries=$((secs * 20))
    for _ in $(seq "$tries"); do
        l=$(line "$name")
        if [ -n "$l" ]; then
            if [ -z "$field" ]; then return 0; fi
            if [ "$field" = 8 ]; then
                [ "$(cut -d' ' -f8- <<<"$l")" = "$value" ] && return 0
            else
                [ "$(cut -d' ' -f"$field" <<<"$l")" = "$value" ] && return 0
            fi
        fi
        kill -0 "$APP_PID" 2>/dev/null || fail "tqr905-tune exited (see $WORK/app.log)"
        sleep 0.05
    done
    fail "waited for $name ${field:+field $field = '$value'}; map line: '$(line "$name")'"
}
# wait_change NAME FIELD OLD [SECONDS]: until FIELD of the control's line
# differs from OLD; prints the new value.
wait_change() {
    local name=$1 field=$2 old=$3 secs=${4:-10} now
    for _ in $(seq $((secs * 20))); do
        now=$(line "$name" | cut -d' ' -f"$field"-)
        if [ "$field" != 8 ]; then now=${now%% *}; fi
        if [ -n "$(line "$name")" ] && [ "$now" != "$old" ]; then
            echo "$now"
            return 0
        fi
        sleep 0.05
    done
    fail "waited for field $field of $name to change from '$old'; map line: '$(line "$name")'"
}
# wait_gone NAME [SECONDS]: until the control is no longer shown.
wait_gone() {
    local name=$1 secs=${2:-10}
    for _ in $(seq $((secs * 20))); do
        [ -z "$(line "$name")" ] && return 0
        sleep 0.05
    done
    fail "waited for $name to go away; map line: '$(line "$name")'"
}
# wait_online NAME TEXT: the window shows the link up and the device's
# settings: control NAME shows TEXT, a value that differs from the program's
# start-up contents (the scenario sets it on the device first).
wait_online() {
    wait_for top.connect 6 1 20
    wait_for "$1" 8 "$2" 20
    wait_gone transfer
}
# start_online: an X server, the virtual processor and the application,
# online. The device's CH6 gain is set first so that the window shows when it
# has read the device.
start_online() {
    start_x
    start_sim
    "$CLI" set ch6.gain=-1 >/dev/null || fail "tqr905 set failed"
    start_app --lang en
    wait_online ch6.gain -1dB
}
# centre NAME: "x y" of the control's centre.
centre() {
    wait_for "$1"
    line "$1" | awk '{ printf "%d %d", $2 + int($4 / 2), $3 + int($5 / 2) }'
}
click() {
    local xy
    xy=$(centre "$1")
    xdotool mousemove $xy click 1
    sleep 0.1
}
right_click() {
    local xy
    xy=$(centre "$1")
    xdotool mousemove $xy click 3
    sleep 0.1
}
# type_into NAME TEXT: focus the field, replace its text, commit with Enter.
type_into() {
    click "$1"
    xdotool key ctrl+a
    xdotool type --delay 20 -- "$2"
    xdotool key Return
    sleep 0.1
}
# drag NAME DX DY: press on the control's centre, move in steps, release.
drag() {
    local x y
    read -r x y <<<"$(centre "$1")"
    xdotool mousemove "$x" "$y" mousedown 1
    local i
    for i in 1 2 3 4 5 6 7 8 9 10; do
        xdotool mousemove $((x + $2 * i / 10)) $((y + $3 * i / 10))
        sleep 0.03
    done
    xdotool mouseup 1
    sleep 0.2
}
# value KEY: what tqr905 reads from the virtual processor.
value() { "$CLI" get "$1"; }
expect_value() {
    local got
    got=$(value "$1") || fail "tqr905 get $1 failed"
    [ "$got" = "$2" ] || fail "$1 is '$got', expected '$2'"
    echo "ok: $1 = $2"
}
