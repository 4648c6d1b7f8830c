#!/usr/bin/env bash
# torv.exe runs a sequence under wine: two marker tasks around a missing
# program whose message box the test closes, REMOTEOFF, EXIT. Checks the
# markers' order and gaps, the result file and that the program ended.
source "$(dirname "$0")/lib.sh"

MARKS="$(winpath "$WORK/marks.txt")"
M="$(winpath "$PROG/marker.exe")"
write_config EXIT "$(winpath "$XCHG")" "" 2 2 REMOTEOFF SOUNDON COMMENTSOFF \
  "Datenbank für Zürich" "$M $MARKS one" \
  "Missing program" "$(winpath "$WORK")\\no-such-program.exe --flag" \
  "Task two" "$M $MARKS two"

start_torv
START=$TORV_STARTED
wait_for '[[ -n "$(window_named "^TORV   ")" ]]' 30 || fail "no console window"
VISIBLE=$(date +%s.%N)
awk -v s="$START" -v v="$VISIBLE" 'BEGIN { printf "start-up to a visible window: %.2f s\n", v - s }'
wait_for '[[ -n "$(marker_time one)" ]]' 10 || fail "task one did not run"
sleep 0.5
# The log box shows "Datenbank für Zürich" as written: look at it.
screenshot console-log-text

wait_for '[[ -n "$(window_named "^TORV$")" ]]' 20 || fail "no message box for the missing program"
BOX=$(window_named "^TORV$")
sleep 0.5
screenshot message-box
CLOSED=$(date +%s.%N)
press_key "$BOX" Return

wait_for '! torv_running' 20 || fail "the program did not end after the sequence (EXIT)"
TORV_PID=""

T1=$(marker_time one) T2=$(marker_time two)
[[ -n "$T1" && -n "$T2" ]] || fail "a task did not run: $(cat "$WORK/marks.txt" 2>/dev/null)"
grep -q '^one .* show=1' "$WORK/marks.txt" || fail "task one not started with a normal window"
# Under a code page of one byte per character, text run through it would show.
grep -q '^one .* acp=65001' "$WORK/marks.txt" && fail "the tasks ran under the UTF-8 code page"
# The countdown starts as the window shows (wine's start-up before that
# varies with the machine's load): task one ~2 s later; after the box, one
# second before task two (wine delivers the key press late on a loaded machine).
awk -v s="$VISIBLE" -v a="$T1" 'BEGIN { d = a - s; exit !(d > 0.5 && d < 5) }' || fail "task one not ~2 s after the window showed"
awk -v c="$CLOSED" -v b="$T2" 'BEGIN { d = b - c; exit !(d > 0.5 && d < 6) }' || fail "task two not ~1 s after the box closed"

RESULT="$XCHG/Result.txt"
[[ -f "$RESULT" ]] || fail "no result file"
# Every character fits the ANSI code page (1252 here): written in it.
mapfile -t LINES < <(iconv -f CP1252 -t UTF-8 "$RESULT" | sed 's/\r$//')
EXPECTED=("Seuquence Init" "Starting Application Execution:*" "Datenbank für Zürich" "Missing program" "Command Failed"
  "Task two" "Command Interface Inactive" "")
((${#LINES[@]} == ${#EXPECTED[@]})) || fail "result file has ${#LINES[@]} lines: ${LINES[*]}"
for i in "${!EXPECTED[@]}"; do
  # shellcheck disable=SC2053
  [[ "${LINES[$i]}" == ${EXPECTED[$i]} ]] || fail "result line $i is '${LINES[$i]}', expected '${EXPECTED[$i]}'"
done
grep -q $'\r$' "$RESULT" || fail "result file lines do not end in CR LF"
[[ ! -e "$PROG/shutdown.log" ]] || fail "shutdown was run"
echo "PASS"
