#!/usr/bin/env bash
# torv.exe after its sequence under wine: the remote folder answers "report",
# refuses "DEL x", runs a command line and, for "off", runs the shutdown
# recorder in the program folder with the system's arguments. A second copy
# from the same folder ends at once; the tray icon's menu ends the program.
source "$(dirname "$0")/lib.sh"

MARKS="$(winpath "$WORK/marks.txt")"
M="$(winpath "$PROG/marker.exe")"
write_config NORM "$(winpath "$XCHG")" "" 1 1 REMOTEON SOUNDON COMMENTSOFF \
  "Task one" "$M $MARKS one"

start_torv
wait_for '[[ -n "$(window_named "^TORV   ")" ]]' 30 || fail "no console window"
wait_for '[[ -n "$(marker_time one 2>/dev/null)" ]]' 20 || fail "the task did not run"

# A second copy from the same folder ends at once; the first runs on.
SECOND_START=$(date +%s)
timeout 30 wine "$PROG/torv.exe" >/dev/null 2>&1 || fail "the second copy failed or hung"
(($(date +%s) - SECOND_START < 20)) || fail "the second copy took too long to end"
torv_running || fail "the first copy ended"

# Every command is answered within one poll (10 s) plus wine's slack.
send() {
  rm -f "$XCHG/Result.txt"
  printf '%s\r\n' "$1" >"$XCHG/command.txt"
  wait_for '[[ ! -e "$XCHG/command.txt" && -s "$XCHG/Result.txt" ]]' 25 || fail "no answer to '$1'"
}
send report
grep -q '^Report Requested and Generated at:' "$XCHG/Result.txt" || fail "report not logged"
send "DEL x"
grep -q '^HOSTILE COMMAND DEL:' "$XCHG/Result.txt" || fail "DEL not refused"
grep -q 'DEL x' "$XCHG/Result.txt" && fail "the refused text was logged"
send "$M $MARKS remote"
grep -q '^Executing Remote Command:' "$XCHG/Result.txt" || fail "command line not logged"
wait_for '[[ -n "$(marker_time remote)" ]]' 10 || fail "the remote command line did not run"
grep -q '^remote .* show=1' "$WORK/marks.txt" || fail "the remote command not started with a normal window"
# The logged command line names the program folder, which the ANSI code page
# cannot hold: Result.txt is then UTF-8 with a mark.
send report
[[ "$(head -c 3 "$XCHG/Result.txt")" == $'\xEF\xBB\xBF' ]] || fail "Result.txt with 'Łódź' has no UTF-8 mark"
grep -q "Executing Remote Command:.*Zürich Łódź €" "$XCHG/Result.txt" || fail "the logged command line lost its letters"
screenshot remote

send off
grep -q '^System Shutdown Acknowledged at:' "$XCHG/Result.txt" || fail "off not acknowledged"
wait_for '[[ -s "$PROG/shutdown.log" ]]' 10 || fail "shutdown was not run"
grep -q 'shutdown -s -f -t 0' "$PROG/shutdown.log" || fail "shutdown ran as: $(cat "$PROG/shutdown.log")"
# The poll stops after "off": a new command stays.
printf 'report\r\n' >"$XCHG/command.txt"
sleep 12
[[ -e "$XCHG/command.txt" ]] || fail "the poll went on after off"

# The tray: wine shows its icons in a small strip of its own (no tray host
# runs here), partly under the console window; its top edge stays free.
TRAY=$(xdotool search --name "Wine System Tray" 2>/dev/null | head -1 || true)
[[ -n "$TRAY" ]] || fail "no tray strip"
eval "$(xdotool getwindowgeometry --shell "$TRAY")"
xdotool mousemove $((X + 8)) $((Y + 3)) click 3
wait_for '[[ -n "$(window_named "^torv$")" ]]' 10 || fail "the tray icon's menu did not open"
MENU=$(window_named "^torv$")
eval "$(xdotool getwindowgeometry --shell "$MENU")"
screenshot tray-menu
# "&Exit" is the last item: the program ends.
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT - 12)) sleep 0.5 click 1
wait_for '! torv_running' 15 || fail "the tray menu's Exit did not end the program"
TORV_PID=""
echo "PASS"
