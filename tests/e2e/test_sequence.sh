#!/usr/bin/env bash
# The real console runs a sequence: three scripts and a missing program,
# REMOTEOFF, EXIT. Checks markers, gaps, the result file and that it ended.
source "$(dirname "$0")/lib.sh"

for n in 1 2 3; do
  cat >"$WORK/task$n.sh" <<SCRIPT
#!/bin/sh
date +%s.%N > "$WORK/marker$n"
SCRIPT
  chmod +x "$WORK/task$n.sh"
done

write_config EXIT "$XCHG" "" 3 2 REMOTEOFF SOUNDON COMMENTSOFF \
  "Task one" "$WORK/task1.sh" \
  "Missing program" "$WORK/no-such-program --flag" \
  "Task two" "$WORK/task2.sh" \
  "Task three" "$WORK/task3.sh"

start_xvfb
start_torv
START=$TORV_STARTED

wait_for '[[ -n "$(window_named "^TORV   ")" ]]' 10 || fail "no console window"
sleep 0.7
screenshot console-countdown

# The missing program stops the run at a message box; close it with Enter.
wait_for '[[ -n "$(window_named "^TORV$")" ]]' 15 || fail "no message box for the missing program"
BOX=$(window_named "^TORV$")
sleep 0.5
screenshot message-box
CLOSED=$(date +%s.%N)
press_key "$BOX" Return

wait_for '! torv_running' 15 || fail "the program did not end after the sequence (EXIT)"
TORV_PID=""

for n in 1 2 3; do [[ -s "$WORK/marker$n" ]] || fail "task $n did not run"; done
M1=$(cat "$WORK/marker1") M2=$(cat "$WORK/marker2") M3=$(cat "$WORK/marker3")
# Announcement 2 s after the start, first task 1 s later; after the box, one
# second before each of the next two tasks.
awk -v s="$START" -v a="$M1" 'BEGIN { d = a - s; exit !(d > 2.3 && d < 4.8) }' || fail "first task not ~3 s after start"
awk -v c="$CLOSED" -v b="$M2" 'BEGIN { d = b - c; exit !(d > 0.5 && d < 2.5) }' || fail "task two not ~1 s after the box closed"
awk -v b="$M2" -v c="$M3" 'BEGIN { d = c - b; exit !(d > 0.7 && d < 1.8) }' || fail "tasks two and three not ~1 s apart"

RESULT="$XCHG/Result.txt"
[[ -f "$RESULT" ]] || fail "no result file"
mapfile -t LINES < <(sed 's/\r$//' "$RESULT")
EXPECTED=("Seuquence Init" "Starting Application Execution:*" "Task one" "Missing program" "Command Failed"
  "Task two" "Task three" "Command Interface Inactive" "")
((${#LINES[@]} == ${#EXPECTED[@]})) || fail "result file has ${#LINES[@]} lines: ${LINES[*]}"
for i in "${!EXPECTED[@]}"; do
  # shellcheck disable=SC2053
  [[ "${LINES[$i]}" == ${EXPECTED[$i]} ]] || fail "result line $i is '${LINES[$i]}', expected '${EXPECTED[$i]}'"
done
grep -q $'\r$' "$RESULT" || fail "result file lines do not end in CR LF"
[[ ! -e "$WORK/shutdown.log" ]] || fail "shutdown was run"
echo "PASS"
