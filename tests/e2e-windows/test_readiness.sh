#!/usr/bin/env bash
# Tasks that wait until they are ready, on torv.exe under wine, headless: a
# port that opens late holds up the next task, HTTPS trusts the CA file and
# only that, a program that fails ends its wait, a `before` check holds the
# launch until the test creates a file, and `stop` stops the sequence.
source "$(dirname "$0")/lib.sh"

headless() {
  rm -f "$WORK/journal" "$WORK/errors"
  (cd "$WORK" && exec wine "$PROG/torv.exe" --headless >"$WORK/journal" 2>"$WORK/errors") &
  TORV_PID=$!
}
journal_has() { grep -qxF -- "$1" <(tr -d '\r' <"$WORK/journal") || fail "the journal lacks '$1': $(cat "$WORK/journal")"; }
free_port() { perl -MIO::Socket::INET -e 'print IO::Socket::INET->new(Listen => 1, LocalAddr => "127.0.0.1")->sockport'; }

MARKS="$(winpath "$WORK/marks.txt")"
MARKER="$(winpath "$PROG/marker.exe")"
PORT=$(free_port)

# A web server with a certificate from a test CA; the CA file lies in the
# program folder, whose name the ANSI code page cannot hold. The certificate
# names localhost: wine's certificate check matches DNS names but not IP
# addresses (Windows itself matches both).
(cd "$WORK" &&
  openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out "$PROG/ca.pem" -days 1 -subj /CN=TorvTestCA &&
  openssl req -newkey rsa:2048 -nodes -keyout srv.key -out srv.csr -subj /CN=localhost &&
  printf 'subjectAltName=DNS:localhost\n' >ext &&
  openssl x509 -req -in srv.csr -CA "$PROG/ca.pem" -CAkey ca.key -CAcreateserial -out srv.pem -days 1 -extfile ext) \
  >/dev/null 2>&1 || fail "could not make the test certificates"
HPORT=$(free_port)
openssl s_server -quiet -www -accept "$HPORT" -cert "$WORK/srv.pem" -key "$WORK/srv.key" >/dev/null 2>&1 &
TLS_PID=$!
trap 'kill "$TLS_PID" 2>/dev/null; cleanup' EXIT
URL="https://localhost:$HPORT/"

NEVER="$(winpath "$WORK/never")"
FLAG="$(winpath "$WORK/flag")"
write_config EXIT "$(winpath "$XCHG")" "" 1 1 REMOTEOFF SOUNDOFF COMMENTSOFF \
  "Slow server" "$MARKER $MARKS one listen $PORT" \
  "Trusted" "$MARKER $MARKS two" \
  "Untrusted" "$MARKER $MARKS three" \
  "Fails" "$MARKER" \
  "Held" "$MARKER $MARKS five"
cat >"$PROG/torv.ini" <<INI
[task 1]
ready = tcp:127.0.0.1:$PORT
[task 2]
ready = $URL
ca-file = $(winpath "$PROG/ca.pem")
[task 3]
ready = $URL
timeout = 2
[task 4]
ready = path:$NEVER
[task 5]
before = path:$FLAG
INI
headless
wait_for 'grep -qF "Waiting For: path:$FLAG" "$WORK/journal"' 60 || fail "task 5 did not wait: $(cat "$WORK/journal" "$WORK/errors")"
sleep 1
[[ -z "$(marker_time five)" ]] || fail "task 5 launched before its file was there"
FLAGGED=$(date +%s.%N)
touch "$WORK/flag"
wait_for '! torv_running' 30 || fail "the sequence did not end: $(cat "$WORK/journal")"
status=0
wait "$TORV_PID" || status=$?
TORV_PID=""
((status == 0)) || fail "it ended with status $status: $(cat "$WORK/errors")"
wait_for '[[ -n "$(marker_time five)" ]]' 15 || fail "task 5 did not run once its file was there"

awk -v a="$(marker_time one)" -v b="$(marker_time two)" 'BEGIN { exit !(b - a > 2.8) }' ||
  fail "task 2 did not wait for the port ($(marker_time one) -> $(marker_time two))"
awk -v f="$FLAGGED" -v m="$(marker_time five)" 'BEGIN { exit !(m > f) }' || fail "task 5 launched before the flag"
journal_has "Waiting For: tcp:127.0.0.1:$PORT"
grep -qE "^Ready After [34] Seconds: tcp:127.0.0.1:$PORT" <(tr -d '\r' <"$WORK/journal") || fail "no ready line: $(cat "$WORK/journal")"
journal_has "Ended With Status 2: path:$NEVER"
# The trusted server holds at once (no line); the untrusted one never does.
(($(grep -cF "Not Ready After 2 Seconds: $URL" "$WORK/journal") == 1)) || fail "HTTPS: $(cat "$WORK/journal")"
errors="$(tr -d '\r' <"$WORK/errors")"
[[ "$errors" == *"WARNING: Not Ready After 2 Seconds: $URL ("*certificate* ]] || fail "no warning for the untrusted server: $errors"
[[ "$errors" != *"tcp:"* ]] || fail "the port's wait gave an error line: $errors"

# A check that times out with `stop`: the sequence ends there, the console stays.
rm -f "$WORK/marks.txt"
write_config EXIT "$(winpath "$XCHG")" "" 1 1 REMOTEOFF SOUNDOFF COMMENTSOFF \
  "One" "$MARKER $MARKS one" "Two" "$MARKER $MARKS two"
printf '[task 1]\r\nready = path:%s\r\ntimeout = 2\r\non-timeout = stop\r\n' "$NEVER" >"$PROG/torv.ini"
headless
wait_for 'grep -q "Sequence Stopped At Task 1" "$WORK/journal"' 60 || fail "not stopped: $(cat "$WORK/journal")"
sleep 2
torv_running || fail "the console ended after a stop"
[[ -z "$(marker_time two)" ]] || fail "a stopped sequence launched the next task"
grep -qF "ERROR: Not Ready After 2 Seconds: path:$NEVER" "$WORK/errors" || fail "no error line: $(cat "$WORK/errors")"
grep -q "Sequence Stopped At Task 1" "$XCHG/Result.txt" || fail "Result.txt lacks the stop"
echo "PASS"
