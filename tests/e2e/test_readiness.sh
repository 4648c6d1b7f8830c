#!/usr/bin/env bash
# Tasks that wait until they are ready (torv.ini), on the real binary, headless
# and then in a window: a port that opens late holds up the next task, a path that never
# appears times out (continue, then stop), a program that fails ends its
# wait, and a `before` check holds the launch until the test creates a file.
source "$(dirname "$0")/lib.sh"
unset DISPLAY WAYLAND_DISPLAY XAUTHORITY

SERVER_PID_FILE="$WORK/server.pid"
stop_server() {
  [[ -s "$SERVER_PID_FILE" ]] && kill "$(cat "$SERVER_PID_FILE")" 2>/dev/null || true
}
trap 'stop_server; cleanup' EXIT

start_headless() {
  rm -f "$WORK/out" "$WORK/err" "$WORK"/marker*
  (cd "$WORK" && exec "$PROG/torv" --headless >"$WORK/out" 2>"$WORK/err") &
  TORV_PID=$!
}
wait_end() {
  wait_for '! torv_running' "$1" || fail "the console did not end within $1 s"
  STATUS=0
  wait "$TORV_PID" || STATUS=$?
  TORV_PID=""
}
has_line() { grep -qxF -- "$2" <(sed 's/\r$//' "$1") || fail "$1 has no line '$2': $(cat "$1")"; }

# A free port, then a "database" that opens it only after 3 s (and closes
# it after 30 s, so that nothing outlives the test for long).
PORT=$(perl -MIO::Socket::INET -e 'print IO::Socket::INET->new(Listen => 1, LocalAddr => "127.0.0.1")->sockport')
cat >"$WORK/db.sh" <<SCRIPT
#!/bin/sh
echo \$\$ > "$SERVER_PID_FILE"
date +%s.%N > "$WORK/marker1"
sleep 3
exec perl -MIO::Socket::INET -e '\$s = IO::Socket::INET->new(Listen => 5, LocalAddr => "127.0.0.1:$PORT", ReuseAddr => 1) or die; sleep 30'
SCRIPT
printf '#!/bin/sh\ndate +%%s.%%N > "%s/marker1"\n' "$WORK" >"$WORK/task1.sh"
printf '#!/bin/sh\ndate +%%s.%%N > "%s/marker2"\n' "$WORK" >"$WORK/task2.sh"
chmod +x "$WORK/db.sh" "$WORK/task1.sh" "$WORK/task2.sh"

# --- The next task waits for the port.
write_config EXIT "$XCHG" "" 1 1 REMOTEOFF SOUNDOFF COMMENTSOFF \
  "Database" "$WORK/db.sh" "Application" "$WORK/task2.sh"
printf '[task 1]\r\nready = tcp:127.0.0.1:%s\r\n' "$PORT" >"$PROG/torv.ini"
start_headless
wait_end 20
((STATUS == 0)) || fail "the port's sequence ended with $STATUS: $(cat "$WORK/err")"
[[ -s "$WORK/marker1" && -s "$WORK/marker2" ]] || fail "a task did not run"
awk -v a="$(cat "$WORK/marker1")" -v b="$(cat "$WORK/marker2")" 'BEGIN { exit !(b - a > 2.8) }' ||
  fail "the application did not wait for the port"
has_line "$WORK/out" "Waiting For: tcp:127.0.0.1:$PORT"
grep -qE "^Ready After [34] Seconds: tcp:127.0.0.1:$PORT" "$WORK/out" || fail "no ready line: $(cat "$WORK/out")"
has_line "$XCHG/Result.txt" "Waiting For: tcp:127.0.0.1:$PORT"
[[ ! -s "$WORK/err" ]] || fail "a ready port gave error lines: $(cat "$WORK/err")"
stop_server

# --- A path that never appears: continue, then stop.
for policy in continue stop; do
  write_config EXIT "$XCHG" "" 1 1 REMOTEOFF SOUNDOFF COMMENTSOFF \
    "One" "$WORK/task1.sh" "Two" "$WORK/task2.sh"
  printf '[task 1]\nready = path:%s/never\ntimeout = 2\non-timeout = %s\n' "$WORK" "$policy" >"$PROG/torv.ini"
  start_headless
  if [[ $policy == continue ]]; then
    wait_end 20
    ((STATUS == 0)) || fail "continue ended with $STATUS"
    [[ -s "$WORK/marker2" ]] || fail "continue did not launch the next task"
    grep -q "^WARNING: Not Ready After 2 Seconds: path:$WORK/never" "$WORK/err" || fail "no warning: $(cat "$WORK/err")"
  else
    # No EXIT after a stop: the console stays.
    wait_for 'grep -qs "Sequence Stopped At Task 1" "$WORK/out"' 15 || fail "not stopped: $(cat "$WORK/out")"
    sleep 1
    torv_running || fail "the console ended after a stop"
    [[ ! -e "$WORK/marker2" ]] || fail "a stopped sequence launched the next task"
    grep -q "^ERROR: Not Ready After 2 Seconds: path:$WORK/never" "$WORK/err" || fail "no error: $(cat "$WORK/err")"
    has_line "$XCHG/Result.txt" "Sequence Stopped At Task 1"
    kill -TERM "$TORV_PID"
    wait_end 10
  fi
  has_line "$WORK/out" "Not Ready After 2 Seconds: path:$WORK/never"
done

# --- A program that fails ends its ready wait at once, long before the limit.
printf '#!/bin/sh\nexit 3\n' >"$WORK/fails.sh"
chmod +x "$WORK/fails.sh"
write_config EXIT "$XCHG" "" 1 1 REMOTEOFF SOUNDOFF COMMENTSOFF "Fails" "$WORK/fails.sh" "Two" "$WORK/task2.sh"
printf '[task 1]\nready = path:%s/never\n' "$WORK" >"$PROG/torv.ini"
start_headless
wait_end 10
has_line "$WORK/out" "Ended With Status 3: path:$WORK/never"
[[ -s "$WORK/marker2" ]] || fail "the task after the failed one did not run"

# --- A launch held until a file appears.
write_config EXIT "$XCHG" "" 1 1 REMOTEOFF SOUNDOFF COMMENTSOFF "One" "$WORK/task1.sh"
# A key it does not know: one warning, and the rest of the file still counts.
printf '[task 1]\nbefore = path:%s/flag\ncolour = blue\n' "$WORK" >"$PROG/torv.ini"
start_headless
sleep 2
[[ ! -e "$WORK/marker1" ]] || fail "launched before the file was there"
date +%s.%N >"$WORK/flag"
wait_end 10
((STATUS == 0)) || fail "the before check's sequence ended with $STATUS"
[[ -s "$WORK/marker1" ]] || fail "not launched once the file was there"
awk -v f="$(cat "$WORK/flag")" -v m="$(cat "$WORK/marker1")" 'BEGIN { exit !(m > f) }' || fail "launched before the flag"
has_line "$WORK/out" "Waiting For: path:$WORK/flag"
(($(grep -c "^WARNING: torv.ini line 3: " "$WORK/err") == 1)) || fail "no single warning for line 3: $(cat "$WORK/err")"
grep -q "^torv.ini line 3: " "$WORK/out" || fail "the journal lacks the torv.ini line"

# --- The window waits for the port just the same (its log in Result.txt).
rm -f "$WORK"/marker* "$SERVER_PID_FILE"
write_config EXIT "$XCHG" "" 1 1 REMOTEOFF SOUNDOFF COMMENTSOFF \
  "Database" "$WORK/db.sh" "Application" "$WORK/task2.sh"
printf '[task 1]\r\nready = tcp:127.0.0.1:%s\r\n' "$PORT" >"$PROG/torv.ini"
start_xvfb
start_torv
wait_for '! torv_running' 20 || fail "the window did not end after the sequence (EXIT)"
TORV_PID=""
awk -v a="$(cat "$WORK/marker1")" -v b="$(cat "$WORK/marker2")" 'BEGIN { exit !(b - a > 2.8) }' ||
  fail "the window's application did not wait for the port"
has_line "$XCHG/Result.txt" "Waiting For: tcp:127.0.0.1:$PORT"
grep -qE "^Ready After [34] Seconds: tcp:127.0.0.1:$PORT" "$XCHG/Result.txt" || fail "no ready line in the window's log"
echo "PASS"
