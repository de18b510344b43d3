#!/usr/bin/env bash
# The virtual processor leaves the bus under a running tqr905-tune and comes
# back: the window shows the link down and reports it, an edit made while
# offline stays in the window only, the link comes back by itself and asks
# whose setting stays (the device's, the default answer), and edits reach
# the device again.
#
#   unplug_session.sh TQR905-TUNE TQR905 TQR905-SIM
source "$(dirname "$0")/driver.sh" "$@"
start_online

sim unplug
wait_for top.connect 6 0
wait_for qt_msgbox_label  # the lost link is reported
xdotool key Return
wait_gone qt_msgbox_label

type_into ch2.gain -12
wait_for ch2.gain 8 -12dB

# Back on the bus: the program connects without a click, asks before the
# device's setting replaces the offline edit, and (kept) shows what the
# device holds.
sim replug
wait_for qt_msgbox_label
xdotool key Return
wait_gone qt_msgbox_label
wait_online ch2.gain 0dB

type_into ch3.gain -3
wait_for ch3.gain 8 -3dB

click top.close
wait_exit

expect_value ch2.gain "ch2.gain=0dB"
expect_value ch3.gain "ch3.gain=-3dB"
echo "PASS"
