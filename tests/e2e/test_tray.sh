#!/usr/bin/env bash
# The tray icon in a real tray host: one icon, the menu, "&torv", Restart,
# "&Exit" during the countdown.
source "$(dirname "$0")/lib.sh"

start_xvfb
start_trayer
write_config NORM "$XCHG" "" 2 1 REMOTEOFF SOUNDOFF COMMENTSOFF
start_torv
wait_for '[[ $(tray_icons) -eq 1 ]]' 10 || fail "no tray icon docked"
wait_for '[[ -f "$XCHG/Result.txt" ]]' 10 || fail "the sequence did not end"
(($(tray_icons) == 1)) || fail "expected exactly one icon, found $(tray_icons)"

# Hide the console with its "_" button, then bring it back from the menu.
CONSOLE=$(window_named "^TORV   ")
eval "$(xdotool getwindowgeometry --shell "$CONSOLE")"
xdotool mousemove $((X + 96)) $((Y + 424)) click 1
wait_for '[[ -z "$(window_named "^TORV   ")" ]]' 5 || fail "the hide button did not hide the console"
read -r IX IY < <(tray_icon_centre)
xdotool mousemove "$IX" "$IY" click 3
sleep 0.8
screenshot tray-menu
xdotool key t
wait_for '[[ -n "$(window_named "^TORV   ")" ]]' 5 || fail "&torv did not show the console"

# Restart: still one icon.
CONSOLE=$(window_named "^TORV   ")
eval "$(xdotool getwindowgeometry --shell "$CONSOLE")"
rm -f "$XCHG/Result.txt"
xdotool mousemove $((X + 48)) $((Y + 424)) click 1
wait_for '[[ -f "$XCHG/Result.txt" ]]' 10 || fail "Restart ran no sequence"
(($(tray_icons) == 1)) || fail "after Restart: $(tray_icons) icons"
grep -c "Seuquence Init" "$XCHG/Result.txt" | grep -qx 2 || fail "Restart did not add to the old log"
kill "$TORV_PID"
wait "$TORV_PID" 2>/dev/null || true
wait_for '[[ $(tray_icons) -eq 0 ]]' 5 || true

# "&Exit" during a long countdown removes the icon and ends the program.
write_config NORM "$XCHG" "" 60 1 REMOTEOFF SOUNDOFF COMMENTSOFF
start_torv
wait_for '[[ $(tray_icons) -eq 1 ]]' 10 || fail "no tray icon the second time"
sleep 1
read -r IX IY < <(tray_icon_centre)
xdotool mousemove "$IX" "$IY" click 3
sleep 0.8
xdotool key e
wait_for '! torv_running' 5 || fail "&Exit did not end the program"
TORV_PID=""
(($(tray_icons) == 0)) || fail "the icon stayed after &Exit"
echo PASS
