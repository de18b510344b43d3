#!/usr/bin/env bash
# A field's shown text is never written back by itself: a bypassed band's
# gain field shows 0.0 while the band keeps its gain, and clicking into it
# and leaving it (Escape, Tab, Enter, a click elsewhere) must not replace that
# gain. A typed change is still committed before a channel button acts and
# before the window closes.
#
#   shown_value_session.sh TQR905-TUNE TQR905 TQR905-SIM
source "$(dirname "$0")/driver.sh" "$@"
start_online

type_into eq.band5.gain 6
wait_for eq.band5.bypass 6 0
click eq.band5.bypass
wait_for eq.band5.bypass 6 1
wait_for eq.band5.gain 8 0.0
for leave in Escape Tab Return; do
    click eq.band5.gain
    xdotool key "$leave"
    sleep 0.2
done
click eq.band5.gain
click ch5.select
wait_for ch5.select 6 1
click ch1.select
wait_for ch1.select 6 1
# Released, the band has its own gain again.
click eq.band5.bypass
wait_for eq.band5.bypass 6 0
wait_for eq.band5.gain 8 6.0

# Typed, not committed: the channel button and the close button commit it.
click ch1.gain
xdotool key ctrl+a
xdotool type --delay 20 -- "-7"
click ch3.select
wait_for ch3.select 6 1
wait_for ch1.gain 8 -7dB
click ch4.gain
xdotool key ctrl+a
xdotool type --delay 20 -- "-9"
click top.close
wait_exit

expect_value ch1.eq5.gain "ch1.eq5.gain=6.0dB"
expect_value ch1.gain "ch1.gain=-7dB"
expect_value ch4.gain "ch4.gain=-9dB"
echo "PASS"
