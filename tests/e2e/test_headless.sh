#!/usr/bin/env bash
# torv --headless with no display at all: a sequence whose missing program is
# one line on standard error and holds nothing up, the journal lines in order,
# the remote folder, systemd's notify socket, SIGTERM and SIGINT, the exit
# statuses 2 and 3, programs kept running and stopped in order, one copy per
# folder across both modes, and cues only where a sound server is.
source "$(dirname "$0")/lib.sh"
unset DISPLAY WAYLAND_DISPLAY XAUTHORITY

PULSE_PID=""
NOTIFY_PID=""
trap '[[ -n "$PULSE_PID" ]] && kill "$PULSE_PID" 2>/dev/null; [[ -n "$NOTIFY_PID" ]] && kill "$NOTIFY_PID"; cleanup' EXIT

# Starts the headless console in the background; its output goes to out/err.
start_headless() {
  # Gone before the start: the background shell truncates them only when it
  # gets to run, and a wait must not find the previous run's lines.
  rm -f "$WORK/out" "$WORK/err"
  (cd "$WORK" && exec "$@" "$PROG/torv" --headless >"$WORK/out" 2>"$WORK/err") &
  TORV_PID=$!
}

# Waits up to $1 seconds for the console to end; its status in STATUS.
wait_end() {
  wait_for '! torv_running' "$1" || fail "the console did not end within $1 s"
  STATUS=0
  wait "$TORV_PID" || STATUS=$?
  TORV_PID=""
}

# The lines of a file (CR LF or LF) against glob patterns, one each.
expect_lines() {
  local file="$1" i
  shift
  mapfile -t LINES < <(sed 's/\r$//' "$file")
  ((${#LINES[@]} == $#)) || fail "$file has ${#LINES[@]} lines: $(printf '[%s] ' "${LINES[@]}")"
  i=0
  for pattern in "$@"; do
    # shellcheck disable=SC2053
    [[ "${LINES[$i]}" == $pattern ]] || fail "$file line $i is '${LINES[$i]}', expected '$pattern'"
    i=$((i + 1))
  done
}

for n in 1 2 3; do
  printf '#!/bin/sh\nenv > "%s/env%s"\ndate +%%s.%%N > "%s/marker%s"\n' "$WORK" "$n" "$WORK" "$n" >"$WORK/task$n.sh"
  chmod +x "$WORK/task$n.sh"
done

# --- A sequence, no X anywhere: strace sees every file opened and every
# connection tried.
write_config EXIT "$XCHG" "" 2 2 REMOTEOFF SOUNDON COMMENTSOFF \
  "Task one" "$WORK/task1.sh" \
  "Missing program" "$WORK/no-such-program --flag" \
  "Task two" "$WORK/task2.sh"
start_headless strace -f -qq -e trace=openat,connect -o "$WORK/strace.log"
wait_end 20
((STATUS == 0)) || fail "EXIT ended with status $STATUS: $(cat "$WORK/err")"
expect_lines "$WORK/out" "Seuquence Init" "Seconds Until Execution Start:2" "Starting Application Execution:*" \
  "Seconds Until Next Execution Start:2" "Task one" "Missing program" "Command Failed" "Task two" \
  "Command Interface Inactive" "Command Interface Inactive"
# No sound server here: the cues are skipped without a word.
expect_lines "$WORK/err" "ERROR: 53 *"
for n in 1 2; do [[ -s "$WORK/marker$n" ]] || fail "task $n did not run"; done
expect_lines "$XCHG/Result.txt" "Seuquence Init" "Starting Application Execution:*" "Task one" "Missing program" \
  "Command Failed" "Task two" "Command Interface Inactive" ""
! grep -E 'X11-unix|libxcb|libQt6(Gui|Widgets|Multimedia)|torv-window' "$WORK/strace.log" ||
  fail "the headless console reached for X or the GUI libraries"

# --- The remote folder under a service manager's eye (a notify socket of our
# own, one datagram a line with its time), then SIGTERM.
python3 -c 'import socket, sys, time
s = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
s.bind(sys.argv[1])
while True:
    m = s.recv(4096).decode()
    print("%.3f %s" % (time.monotonic(), m), flush=True)' "$WORK/notify.sock" >"$WORK/notify.log" &
NOTIFY_PID=$!
wait_for '[[ -S "$WORK/notify.sock" ]]' 5 || fail "no notify socket"
write_config NORM "$XCHG" "" 1 1 REMOTEON SOUNDOFF COMMENTSOFF
rm -f "$XCHG/Result.txt"
start_headless env NOTIFY_SOCKET="$WORK/notify.sock" WATCHDOG_USEC=2000000
wait_for 'grep -q "^Command Interface Active. Waiting For Remote$" "$WORK/out"' 10 || fail "the poll did not start"
printf 'report\r\n' >"$XCHG/command.txt"
wait_for 'grep -q "^Report Requested and Generated at:" "$XCHG/Result.txt" 2>/dev/null' 25 || fail "no report"
printf '%s\r\n' "$WORK/task3.sh" >"$XCHG/command.txt"
wait_for '[[ -s "$WORK/marker3" ]]' 25 || fail "the remote command line did not run"
printf 'off\r\n' >"$XCHG/command.txt"
wait_for 'grep -q "^-h now$" "$WORK/shutdown.log" 2>/dev/null' 25 || fail "off did not call the fake shutdown"
torv_running || fail "the console ended after off"
kill -TERM "$TORV_PID"
wait_end 2
((STATUS == 0)) || fail "SIGTERM gave status $STATUS"
expect_lines "$WORK/out" "Seuquence Init" "Starting Application Execution:*" "Enabling Command Interface" \
  "Command Interface Active. Waiting For Remote" "Report Requested and Generated at:*" \
  "Executing Remote Command:$WORK/task3.sh at:*" "System Shutdown Acknowledged at:*"
[[ ! -s "$WORK/err" ]] || fail "unexpected errors: $(cat "$WORK/err")"
wait_for 'grep -q STOPPING=1 "$WORK/notify.log"' 2 || fail "no STOPPING=1: $(cat "$WORK/notify.log")"
kill "$NOTIFY_PID"
NOTIFY_PID=""
# Ready first, a sign of life every second, stopping last; no task inherits the socket.
[[ "$(head -1 "$WORK/notify.log" | cut -d' ' -f2-)" == READY=1 ]] || fail "not ready first: $(cat "$WORK/notify.log")"
[[ "$(tail -1 "$WORK/notify.log" | cut -d' ' -f2-)" == STOPPING=1 ]] || fail "no STOPPING=1 last"
grep -qx '[0-9.]* STATUS=Command Interface Active. Waiting For Remote' "$WORK/notify.log" || fail "no status"
PINGS=$(awk 'NR == 1 { t = $1 } $2 == "WATCHDOG=1" && $1 <= t + 7 { n++ } END { print n + 0 }' "$WORK/notify.log")
((PINGS >= 4)) || fail "$PINGS watchdog pings in the first 7 s"
! grep -E '^(NOTIFY_SOCKET|WATCHDOG_USEC|WATCHDOG_PID)=' "$WORK/env3" || fail "a task inherited the manager's variables"

# --- Kept tasks: a crashing program restarted with growing delays and given
# up on while the next task runs on schedule (the console stays to watch it, its
# restart still pending, and the two servers); at SIGTERM the two `on-exit`
# programs stop in reverse order (the second ignores SIGTERM and is killed);
# the alert command and the metrics file see it all.
printf '#!/bin/sh\ndate +%%s.%%N >> "%s/crashes"\nexit 3\n' "$WORK" >"$WORK/crash.sh"
cat >"$WORK/server.sh" <<SCRIPT
#!/bin/sh
if [ "\$2" = stubborn ]; then trap '' TERM; else trap 'echo "\$1 stopped" >> "$WORK/stops"; exit 0' TERM; fi
echo "\$1 started" >> "$WORK/stops"
while :; do sleep 0.2; done
SCRIPT
printf '#!/bin/sh\necho "$TORV_EVENT $TORV_TASK $TORV_CODE$TORV_RESTARTS" >> "%s/alerts"\n' "$WORK" >"$WORK/alert.sh"
chmod +x "$WORK/crash.sh" "$WORK/server.sh" "$WORK/alert.sh"
write_config EXIT "$XCHG" "" 1 2 REMOTEOFF SOUNDOFF COMMENTSOFF \
  "Server A" "$WORK/server.sh a" "Crasher" "$WORK/crash.sh" "Server B" "$WORK/server.sh b stubborn" \
  "Late" "$WORK/task1.sh"
cat >"$PROG/torv.ini" <<INI
[task 1]
stop = on-exit
[task 2]
restart = on-failure
restart-delay = 2
restart-limit = 2
[task 3]
stop = on-exit
stop-timeout = 2
[alert]
command = $WORK/alert.sh
events = all
[metrics]
file = $WORK/torv.prom
INI
start_headless
wait_for 'grep -q "^Staying To Watch 3 Tasks$" "$WORK/out" 2>/dev/null' 15 || fail "not staying: $(cat "$WORK/out")"
wait_for 'grep -q "^Gave Up Restarting Task 2 After 2 Restarts$" "$WORK/out"' 15 || fail "no giving up: $(cat "$WORK/out")"
[[ "$(wc -l <"$WORK/crashes")" == 3 ]] || fail "the crasher ran $(wc -l <"$WORK/crashes") times"
awk 'NR > 1 { d[NR] = $1 - p } { p = $1 } END { exit !(d[2] > 1.8 && d[3] > 3.8 && d[3] < 5) }' "$WORK/crashes" ||
  fail "restart delays not 2 s then 4 s: $(cat "$WORK/crashes")"
grep -q '^torv_task_running{task="1"} 1$' "$WORK/torv.prom" || fail "server A not running: $(cat "$WORK/torv.prom")"
kill -TERM "$TORV_PID"
wait_end 8
((STATUS == 0)) || fail "SIGTERM with kept tasks gave status $STATUS"
grep -E '^(Gave Up.*|Stopping Task .|Task . (Stopped|Killed.*)|Task 2 Ended.*)$' "$WORK/out" >"$WORK/kept"
expect_lines "$WORK/kept" "Task 2 Ended With Status 3" "Task 2 Ended With Status 3" "Task 2 Ended With Status 3" \
  "Gave Up Restarting Task 2 After 2 Restarts" "Stopping Task 3" "Task 3 Killed After 2 Seconds" "Stopping Task 1" \
  "Task 1 Stopped"
# The restarts held nothing up: the last task came long before the giving up.
(($(grep -n '^Late$' "$WORK/out" | cut -d: -f1) < $(grep -n '^Gave Up' "$WORK/out" | cut -d: -f1))) ||
  fail "the sequence waited for the restarts"
# (A shell that loses its `sleep` to the stop says "Terminated" there too.)
grep -E '^(WARNING|ERROR):' "$WORK/err" >"$WORK/warnings" || true
expect_lines "$WORK/warnings" "WARNING: Task 2 Ended With Status 3" "WARNING: Task 2 Ended With Status 3" \
  "WARNING: Task 2 Ended With Status 3" "ERROR: Gave Up Restarting Task 2 After 2 Restarts"
expect_lines "$WORK/stops" "a started" "b started" "a stopped"
! pgrep -f "$WORK/server.sh" >/dev/null || fail "a kept program outlived the stop"
wait_for '(($(grep -c . "$WORK/alerts") >= 6))' 5 || fail "alerts: $(cat "$WORK/alerts")"
for a in "task-exited 2 3" "task-restarted 2 1" "task-restarted 2 2" "task-gave-up 2 3" "task-stopped 3 " \
  "task-stopped 1 "; do
  grep -qxF "$a" "$WORK/alerts" || fail "no alert '$a': $(cat "$WORK/alerts")"
done
for m in 'torv_up 0' 'torv_task_running{task="1"} 0' 'torv_task_restarts_total{task="2"} 2' \
  'torv_task_last_exit_status{task="3"} 137'; do
  grep -qxF "$m" "$WORK/torv.prom" || fail "no '$m' in the metrics: $(cat "$WORK/torv.prom")"
done
rm -f "$PROG/torv.ini"

# --- No settings file: status 2 and how to start.
rm -f "$PROG/config.ini"
start_headless
wait_end 5
((STATUS == 2)) || fail "no config.ini gave status $STATUS"
grep -q "$PROG/config.ini is missing" "$WORK/err" || fail "the notice does not name the file: $(cat "$WORK/err")"
grep -q "config.ini.example" "$WORK/err" || fail "the notice does not say where to start"

# --- A damaged settings file: the default file, a backup, status 3.
write_config NORM "$XCHG" "" 5 5 REMOTEON SOUNDON COMMENTSOFF "lonely"
cp "$PROG/config.ini" "$WORK/damaged"
start_headless
wait_end 5
((STATUS == 3)) || fail "a damaged config.ini gave status $STATUS"
cmp -s "$WORK/damaged" "$PROG/config.ini.bak" || fail "no backup of the damaged file"
printf '%s\r\n' NORM 'C:\wwwroot\Iserver' 'c:\windows\mscalc.exe' 30 10 REMOTEON SOUNDON COMMENTSOFF \
  "Running Notepad" notepad.exe >"$WORK/default"
cmp -s "$WORK/default" "$PROG/config.ini" || fail "config.ini is not the default file: $(cat "$PROG/config.ini")"
expect_lines "$WORK/err" "ERROR: Abnormal Stop:62 Input past end of file" "ERROR: Error Loading Config.ini File.*"

# --- One copy per folder, across the two modes.
write_config NORM "$XCHG" "" 30 1 REMOTEOFF SOUNDOFF COMMENTSOFF
start_xvfb
start_torv
wait_for '[[ -n "$(window_named "^TORV   ")" ]]' 10 || fail "no console window"
env -u DISPLAY timeout 5 "$PROG/torv" --headless >"$WORK/second.out" 2>&1 || fail "a headless second copy did not end cleanly at once"
[[ ! -s "$WORK/second.out" ]] || fail "the headless second copy said: $(cat "$WORK/second.out")"
torv_running || fail "the windowed copy was affected"
kill "$TORV_PID"
wait "$TORV_PID" 2>/dev/null || true
TORV_PID=""
start_headless
wait_for 'grep -q "^Seuquence Init$" "$WORK/out"' 5 || fail "the headless copy did not start"
timeout 5 "$PROG/torv" >"$WORK/second.out" 2>&1 || fail "a windowed second copy did not end cleanly at once"
[[ -z "$(window_named "^TORV")" ]] || fail "the windowed second copy showed a window"
kill -INT "$TORV_PID"
wait_end 2
((STATUS == 0)) || fail "SIGINT gave status $STATUS"

# --- Cues: with a sound server they play (recorded from its null sink).
if command -v pulseaudio >/dev/null && command -v parec >/dev/null && command -v sox >/dev/null; then
  pulseaudio -n --daemonize=no --exit-idle-time=-1 --load="module-null-sink sink_name=nul" \
    --load=module-native-protocol-unix >"$WORK/pulse.log" 2>&1 &
  PULSE_PID=$!
  wait_for '[[ -S "$XDG_RUNTIME_DIR/pulse/native" ]]' 10 || fail "no sound server"
  parec -d nul.monitor --file-format=wav "$WORK/cues.wav" &
  PAREC=$!
  write_config NORM "$XCHG" "" 2 1 REMOTEOFF SOUNDON COMMENTSOFF
  start_headless
  sleep 3.5
  kill -TERM "$TORV_PID"
  wait_end 2
  kill "$PAREC"
  wait "$PAREC" 2>/dev/null || true
  PEAK=$(sox "$WORK/cues.wav" -n stat 2>&1 | awk '/^Maximum amplitude/ { print $3 }')
  awk -v p="$PEAK" 'BEGIN { exit !(p > 0.05) }' || fail "no cue was heard (peak amplitude $PEAK)"
  [[ ! -s "$WORK/err" ]] || fail "cues said: $(cat "$WORK/err")"
else
  echo "note: no pulseaudio, parec or sox: cues with a sound server not checked" >&2
fi
echo PASS
