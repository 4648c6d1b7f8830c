#!/usr/bin/env bash
# torv.exe without a window under wine: a run-once sequence ("EXIT") whose
# journal goes to the redirected standard output and which ends with status 0;
# then --new-key and --sign, and a polling console that refuses an unsigned
# command and answers a signed report with a signed result.
source "$(dirname "$0")/lib.sh"

CMD="$XCHG/command.txt"
RESULT="$XCHG/Result.txt"
crlf() { tr -d '\r' <"$1"; }
headless() {
  # Gone before the start: the background shell truncates them only when it
  # gets to run, and a wait must not find the previous run's lines.
  rm -f "$WORK/journal" "$WORK/errors"
  (cd "$WORK" && exec wine "$PROG/torv.exe" --headless >"$WORK/journal" 2>"$WORK/errors") &
  TORV_PID=$!
}
MARKS="$(winpath "$WORK/marks.txt")"
TASK=("Task one" "$(winpath "$PROG/marker.exe") $MARKS one")

write_config EXIT "$(winpath "$XCHG")" "" 1 1 REMOTEON SOUNDOFF COMMENTSOFF "${TASK[@]}"
headless
wait_for '! torv_running' 40 || fail "the run-once sequence did not end: $(cat "$WORK/journal")"
status=0
wait "$TORV_PID" || status=$?
TORV_PID=""
((status == 0)) || fail "it ended with status $status: $(cat "$WORK/errors")"
# The task is started, not waited for: it may still be starting as TORV ends.
wait_for '[[ -n "$(marker_time one)" ]]' 15 || fail "the task did not run"
for line in "Seuquence Init" "Starting Application Execution:" "Task one"; do
  grep -q "^$line" <(crlf "$WORK/journal") || fail "the journal lacks '$line': $(cat "$WORK/journal")"
done
[[ ! -s "$WORK/errors" ]] || fail "error lines: $(cat "$WORK/errors")"

(cd "$PROG" && wine "$PROG/torv.exe" --new-key >"$WORK/key.out" 2>"$WORK/key.err") ||
  fail "--new-key failed: $(cat "$WORK/key.err")"
KEY=$(crlf "$WORK/key.out")
[[ "$KEY" =~ ^[0-9a-f]{64}$ ]] || fail "--new-key printed '$KEY'"
[[ "$(crlf "$PROG/remote.key")" == "$KEY" ]] || fail "remote.key does not hold the printed key"
(cd "$PROG" && ! wine "$PROG/torv.exe" --new-key >/dev/null 2>&1) || fail "a second --new-key replaced the key"
echo "$KEY" >"$WORK/party.key"
# Text outside the ANSI code page reaches --sign whole (wine turns a Unix
# argument list into the Windows command line by the locale, so UTF-8 here).
UNICODE='notepad Łódź €'
LC_ALL=C.UTF-8 wine "$PROG/torv.exe" --sign "$UNICODE" --key-file "$(winpath "$WORK/party.key")" >"$WORK/unicode" ||
  fail "--sign with non-ANSI text failed"
[[ "$(head -1 "$WORK/unicode" | tr -d '\r')" == "$UNICODE" ]] || fail "--sign made '$(head -1 "$WORK/unicode")'"

write_config NORM "$(winpath "$XCHG")" "" 1 1 REMOTEON SOUNDOFF COMMENTSOFF "${TASK[@]}"
headless
wait_for 'grep -q "Command Interface Active" "$WORK/journal"' 40 || fail "no poll: $(cat "$WORK/journal" "$WORK/errors")"
grep -q "^Signed Commands Required" <(crlf "$WORK/journal") || fail "the journal does not say signing is required: $(cat "$WORK/journal" "$WORK/errors")"
[[ -z "$(window_named "^TORV")" ]] || fail "the console without a window showed one"

send() {
  rm -f "$RESULT"
  mv -f "$1" "$CMD"
  wait_for '[[ ! -e "$CMD" && -s "$RESULT" ]]' 25 || fail "no answer to $1"
}
printf 'report\r\n' >"$WORK/unsigned"
send "$WORK/unsigned"
grep -q '^REFUSED UNSIGNED COMMAND (unsigned) at:' "$RESULT" || fail "an unsigned report was not refused"
wine "$PROG/torv.exe" --sign report --key-file "$(winpath "$WORK/party.key")" >"$WORK/signed" || fail "--sign failed"
STAMP=$(sed -n 2p "$WORK/signed" | cut -d' ' -f2)
send "$WORK/signed"
grep -q '^Report Requested and Generated at:' "$RESULT" || fail "the signed report was not answered"
wait_for '[[ -s "$XCHG/Result.txt.sig" ]]' 5 || fail "the answer is not signed"
# --verify-answer names the command the answer answers, over the bytes as written.
sleep 0.5 # the signature follows the result file
wine "$PROG/torv.exe" --verify-answer "$(winpath "$XCHG")" --key-file "$(winpath "$WORK/party.key")" \
  >"$WORK/verified" || fail "the answer does not verify: $(cat "$WORK/verified")"
[[ "$(tr -d '\r' <"$WORK/verified")" == "answers $STAMP written "* ]] || fail "--verify-answer said '$(cat "$WORK/verified")'"
torv_running || fail "the console ended"

# --- A kept program that crashes: restarted after 1 s, then 2 s, then given up
# on; the console stays to watch it meanwhile.
kill "$TORV_PID" 2>/dev/null && wait "$TORV_PID" 2>/dev/null || true
TORV_PID=""
rm -f "$PROG/remote.key"
write_config EXIT "$(winpath "$XCHG")" "" 1 1 REMOTEOFF SOUNDOFF COMMENTSOFF \
  "Crasher" "$(winpath "$PROG/marker.exe") $MARKS crasher crash"
printf '[task 1]\r\nrestart = on-failure\r\nrestart-limit = 2\r\n' >"$PROG/torv.ini"
headless
wait_for 'grep -q "^Gave Up Restarting Task 1 After 2 Restarts" "$WORK/journal"' 60 ||
  fail "no giving up: $(cat "$WORK/journal" "$WORK/errors")"
(($(grep -c "^crasher " "$WORK/marks.txt") == 3)) || fail "the crasher ran $(grep -c "^crasher " "$WORK/marks.txt") times"
for line in "Staying To Watch 1 Tasks" "Task 1 Ended With Status 3221225477" "Restarting Task 1 In 1 Seconds" \
  "Restarting Task 1 In 2 Seconds"; do
  grep -q "^$line" <(crlf "$WORK/journal") || fail "the journal lacks '$line': $(cat "$WORK/journal")"
done
torv_running || fail "the console ended after giving up"
echo "PASS"
