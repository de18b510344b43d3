#!/usr/bin/env bash
# After a factory reset the window reads the device again and shows the
# factory values; after a firmware update it connects again by itself and
# shows what the device holds.
#
#   device_reread_session.sh TQR905-TUNE TQR905 TQR905-SIM
source "$(dirname "$0")/driver.sh" "$@"
start_online

# answer KEY: the message box (the smallest window of the program around its
# text) gets the keyboard focus, as a window manager would give it, and the key.
answer() {
    local w lx ly box="" best=0 X Y WIDTH HEIGHT
    read -r lx ly <<<"$(centre qt_msgbox_label)"
    for w in $(xdotool search --onlyvisible --pid "$APP_PID"); do
        eval "$(xdotool getwindowgeometry --shell "$w")"
        if [ "$lx" -ge "$X" ] && [ "$lx" -lt $((X + WIDTH)) ] && [ "$ly" -ge "$Y" ] &&
            [ "$ly" -lt $((Y + HEIGHT)) ]; then
            if [ -z "$box" ] || [ $((WIDTH * HEIGHT)) -lt "$best" ]; then
                box=$w
                best=$((WIDTH * HEIGHT))
            fi
        fi
    done
    [ -n "$box" ] || fail "no message box to answer"
    xdotool windowfocus "$box"
    sleep 0.2
    xdotool key "$1"
}

type_into ch2.gain -6
wait_for ch2.gain 8 -6dB

click top.menu
click menu:Firmware_Update
wait_for update.factoryReset
click update.factoryReset
wait_for qt_msgbox_label
answer y
wait_gone updateDialog
# The device's factory setting replaces the window's: CH6 and CH2 at 0 dB.
wait_for ch6.gain 8 0dB 20
wait_for ch2.gain 8 0dB
wait_for top.connect 6 1

# An update: the link goes down for it and comes back by itself.
head -c 100 /dev/urandom >"$WORK/fw.dsp"
click top.menu
click menu:Firmware_Update
wait_for update.path
type_into update.path "$WORK/fw.dsp"
click update.start
wait_for top.connect 6 0 20
wait_for qt_msgbox_label 30
answer Return
wait_gone qt_msgbox_label
wait_for top.connect 6 1 20
wait_gone transfer
xdotool key Escape
wait_gone updateDialog

type_into ch3.gain -3
wait_for ch3.gain 8 -3dB
click top.close
wait_exit

expect_value ch2.gain "ch2.gain=0dB"
expect_value ch3.gain "ch3.gain=-3dB"
expect_value ch6.gain "ch6.gain=0dB"
echo "PASS"
