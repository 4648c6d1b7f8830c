#!/usr/bin/env bash
# torv.exe without a window under wine, with torv.ini's [alert] and [metrics]:
# a missing program starts marker.exe as the alert command, whose line shows
# the event and the message it got through the UTF-16 environment (the
# program folder's name is outside the ANSI code page); the metrics file has
# LF line ends, no byte-order mark, and torv_up 0 after the run-once end.
source "$(dirname "$0")/lib.sh"

M="$(winpath "$PROG/marker.exe")"
ALERTS="$(winpath "$WORK/alerts.txt")"
PROM="$WORK/torv.prom"
write_config EXIT "$(winpath "$XCHG")" "" 1 1 REMOTEOFF SOUNDOFF COMMENTSOFF \
  "Missing" "$(winpath "$PROG/no-such-program.exe")" "Task one" "\"$M\" \"$(winpath "$WORK/marks.txt")\" one"
printf '[alert]\r\ncommand = "%s" "%s" alert\r\nevents = all\r\n[metrics]\r\nfile = %s\r\n' \
  "$M" "$ALERTS" "$(winpath "$PROM")" >"$PROG/torv.ini"

(cd "$WORK" && exec wine "$PROG/torv.exe" --headless >"$WORK/journal" 2>"$WORK/errors") &
TORV_PID=$!
wait_for '! torv_running' 40 || fail "the run-once sequence did not end: $(cat "$WORK/journal")"
TORV_PID=""
wait_for 'grep -q "event=sequence-complete" "$WORK/alerts.txt" 2>/dev/null' 15 ||
  fail "no alerts: $(cat "$WORK/alerts.txt" 2>/dev/null) $(cat "$WORK/errors")"
grep -q 'event=launch-failed message=53 File not found' "$WORK/alerts.txt" ||
  fail "no launch-failed alert: $(cat "$WORK/alerts.txt")"
grep -q 'Łódź' "$WORK/alerts.txt" || fail "the message lost its Unicode text: $(cat "$WORK/alerts.txt")"
grep -q "show=2" "$WORK/alerts.txt" || fail "the alert was not started minimised: $(cat "$WORK/alerts.txt")"

[[ -s "$PROM" ]] || fail "no metrics file"
[[ "$(head -c 7 "$PROM")" == "# HELP " ]] || fail "the metrics file does not begin with # HELP (a byte-order mark?)"
grep -q $'\r' "$PROM" && fail "CR in the metrics file"
grep -qx 'torv_up 0' "$PROM" || fail "no torv_up 0 after the end: $(cat "$PROM")"
grep -qx 'torv_task_failures_total{task="1"} 1' "$PROM" || fail "the failure is not counted: $(cat "$PROM")"
echo "PASS"
