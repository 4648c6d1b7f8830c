#!/usr/bin/env bash
# torv.exe as a service of wine's service manager, installed from a program
# folder named outside the ANSI code page: install, start (which waits for
# running), a task and a remote report, stop (which waits for stopped, and
# first stops a kept program through its job), the
# service's log and metrics after the end, uninstall; and a start that ends
# at once with status 2. What wine leaves out
# (failure actions, the Event Log) is said in the manual, not tried here.
source "$(dirname "$0")/lib.sh"

NAME="TORV-e2e.$$"
PROM="$WORK/torv.prom"
MARKS="$(winpath "$WORK/marks.txt")"
write_config NORM "$(winpath "$XCHG")" "" 1 1 REMOTEON SOUNDON COMMENTSOFF \
  "Task one" "$(winpath "$PROG/marker.exe") $MARKS one" "Holder" "$(winpath "$PROG/marker.exe") $MARKS holder hold"
# The holder is stopped by the service's stop: a console break does not reach
# it under wine, so its job is ended at the time-out.
printf '[metrics]\r\nfile = %s\r\n[task 2]\r\nstop = on-exit\r\nstop-timeout = 2\r\n' "$(winpath "$PROM")" \
  >"$PROG/torv.ini"

# The service's own log tells more than the tool's words.
eval "$(declare -f fail | sed '1s/fail/fail_plainly/')"
fail() {
  [[ -f "$PROG/torv-service.log" ]] && { echo "--- torv-service.log:" >&2; cat "$PROG/torv-service.log" >&2; }
  fail_plainly "$@"
}

# svc ACTION: the tool's output (CR LF made LF) in OUT, its status in STATUS.
svc() {
  STATUS=0
  OUT=$(cd "$WORK" && wine "$PROG/torv.exe" --service "$1" --name "$NAME" 2>&1 </dev/null) || STATUS=$?
  OUT=${OUT//$'\r'/}
}
expect() { # expect STATUS TEXT WHAT
  [[ $STATUS == "$1" && "$OUT" == *"$2"* ]] || fail "$3: status $STATUS, '$OUT'"
}
# A service left behind would outlive the test in wine's server.
trap 'wine "$PROG/torv.exe" --service uninstall --name "$NAME" >/dev/null 2>&1 </dev/null || true; cleanup' EXIT

svc install
expect 0 "installed $NAME" "install"
echo "$OUT" # what wine's manager refused shows in the test's log
svc install
expect 1 "already installed as $NAME" "a second install"
svc status
expect 3 stopped "status after install"

# No settings ends the start with the console's own status.
mv "$PROG/config.ini" "$WORK/config.ini"
svc start
expect 1 "stopped while starting (exit status 2)" "a start without usable settings"
grep -q " ERROR: No settings file" "$PROG/torv-service.log" || fail "the log does not say why"
mv -f "$WORK/config.ini" "$PROG/config.ini"

svc start
expect 0 "started $NAME" "start"
svc status
expect 0 running "status after start"
wait_for '[[ -n "$(marker_time one)" ]]' 20 || fail "the service did not run its task"
printf 'report\r\n' >"$XCHG/command.txt"
wait_for '[[ ! -e "$XCHG/command.txt" && -s "$XCHG/Result.txt" ]]' 25 || fail "no answer to report"
grep -q '^Report Requested and Generated at:' "$XCHG/Result.txt" || fail "report not logged"
svc start
expect 0 "already running" "a second start"

svc stop
expect 0 "stopped $NAME" "stop"
svc status
expect 3 stopped "status after stop"
LOG="$PROG/torv-service.log"
[[ "$(head -c 3 "$LOG")" == $'\xEF\xBB\xBF' ]] || fail "the log has no UTF-8 mark"
grep -q "Zürich Łódź € prog" "$LOG" || fail "the log lost the folder's letters: $(cat "$LOG")"
grep -q " Task one"$'\r'"\$" "$LOG" || fail "the log lacks the task's line (with CR LF): $(cat "$LOG")"
[[ "$(tail -1 "$LOG" | tr -d '\r')" =~ ^[0-9-]{10}\ [0-9:]{8}\ Service\ $NAME\ stopped\.$ ]] ||
  fail "the log's last line: $(tail -1 "$LOG")"
grep -qx 'torv_up 0' "$PROM" || fail "no torv_up 0 after the stop: $(cat "$PROM")"
grep -q " Stopping Task 2"$'\r'"\$" "$LOG" || fail "the holder was not stopped: $(cat "$LOG")"
grep -qE " Task 2 (Stopped|Killed After 2 Seconds)"$'\r'"\$" "$LOG" || fail "the holder's stop: $(cat "$LOG")"
grep -qx 'torv_task_running{task="2"} 0' "$PROM" || fail "the holder still counts as running: $(cat "$PROM")"

svc uninstall
expect 0 "uninstalled $NAME" "uninstall"
svc status
expect 4 not-installed "status after uninstall"
# Started by hand, the service's own command line says whose call it is.
STATUS=0
OUT=$(cd "$WORK" && wine "$PROG/torv.exe" --service-run "$NAME" 2>&1 </dev/null) || STATUS=$?
expect 2 "service manager's call" "--service-run by hand"
echo "PASS"
