#!/usr/bin/env bash
# The real tqr905-tune against the virtual processor, driven with real input
# events: edits of several kinds, a stored sound group and the language
# switch, then the window is closed and tqr905 reads each value back from the
# same device.
#
#   tune_session.sh TQR905-TUNE TQR905 TQR905-SIM
source "$(dirname "$0")/driver.sh" "$@"
start_online

click ch2.select
wait_for ch2.select 6 1

type_into ch2.gain -6
wait_for ch2.gain 8 -6dB

# Dragged up, the marker raises the band's gain; the device is to get what
# the band's fields then show.
drag graph.band5 0 -40
band_gain=$(wait_change eq.band5.gain 8 0.0)
band_freq=$(line eq.band5.freq | cut -d' ' -f8)

click car.unit.cm
wait_for car.unit.cm 6 1
type_into car.pos5.delay 100
wait_for car.pos5.delay 8 100.2

click top.groups
click menu:Sound_Save
right_click preset.group3
click menu:Save
click groupName.field
xdotool type --delay 20 -- "Road Trip"
click groupName.ok
wait_for preset.group3 8 "Road Trip"
xdotool key Escape
wait_gone soundSaveDialog

click top.menu
click menu:Chinese
wait_for top.menu 8 菜单
wait_for top.connect 8 连接

click top.close
wait_exit

expect_value ch2.gain "ch2.gain=-6dB"
expect_value ch2.eq5.gain "ch2.eq5.gain=${band_gain}dB"
expect_value ch2.eq5.freq "ch2.eq5.freq=${band_freq}Hz"
expect_value ch2.delay "ch2.delay=139"  # 100 cm in samples, as tqr905 set ch2.delay=100cm gives
names=$("$CLI" names) || fail "tqr905 names failed"
grep -Eq '^ *3 +Road Trip$' <<<"$names" || fail "group 3 is not named 'Road Trip': $names"
echo "PASS"
