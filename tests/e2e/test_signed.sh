#!/usr/bin/env bash
# Signed remote commands with the real binary: a key made by --new-key, a
# report signed by --sign and one signed by the manual's shell recipe (taken
# from the manual itself, so the two cannot drift apart), the same file again
# (refused), an unsigned "off" (refused, no shutdown) and a signed one (run).
# Every answer's Result.txt.sig is checked with the manual's openssl recipe.
source "$(dirname "$0")/lib.sh"

MANUAL="$(cd "$(dirname "$0")/../.." && pwd)/docs/manual.md"
CMD="$XCHG/command.txt"
RESULT="$XCHG/Result.txt"

# The shell block after the marker line "<!-- $1 -->" in the manual.
recipe() {
  awk -v mark="<!-- $1 -->" '$0 == mark { found = 1; next }
    found && /^```/ { if (inside) exit; inside = 1; next }
    found && inside { print }' "$MANUAL"
}
recipe sign-posix >"$WORK/sign.sh"
recipe verify-posix >"$WORK/verify.sh"
(($(wc -l <"$WORK/sign.sh") == 3)) || fail "the manual's signing recipe is not three lines: $(cat "$WORK/sign.sh")"
grep -q 'openssl dgst -sha256 -mac HMAC -macopt hexkey:' "$WORK/sign.sh" || fail "the signing recipe uses no openssl HMAC"
[[ -s "$WORK/verify.sh" ]] || fail "no verifying recipe in the manual"

answered() { [[ ! -e "$CMD" ]]; }
last_entry() { tr -d '\r' <"$RESULT" | grep -v '^$' | tail -1; }
# The stamp of Result.txt.sig when it matches Result.txt under the key.
answer_stamp() {
  local out
  out=$(KEY="$KEY" DIR="$XCHG" sh "$WORK/verify.sh") || return 1
  [[ "$out" == "TORV's answer, stamp "* ]] || return 1
  echo "${out##* }"
}
send() {
  mv -f "$1" "$CMD"
  wait_for answered 13 || fail "command not answered: $(head -1 "$CMD")"
  sleep 0.3 # the signature follows the result file
}

# The key tools need no display.
KEY=$(env -u DISPLAY "$PROG/torv" --new-key 2>"$WORK/newkey.err") || fail "--new-key failed: $(cat "$WORK/newkey.err")"
[[ "$KEY" =~ ^[0-9a-f]{64}$ ]] || fail "--new-key printed '$KEY'"
[[ "$(stat -c %a "$PROG/remote.key")" == 600 ]] || fail "remote.key has mode $(stat -c %a "$PROG/remote.key")"
[[ "$(cat "$PROG/remote.key")" == "$KEY" ]] || fail "remote.key does not hold the printed key"
! "$PROG/torv" --new-key >"$WORK/second.out" 2>&1 || fail "a second --new-key replaced the key"
[[ "$(cat "$PROG/remote.key")" == "$KEY" ]] || fail "remote.key changed"
install -m 600 /dev/null "$WORK/party.key"
echo "$KEY" >"$WORK/party.key"

write_config NORM "$XCHG" "" 1 1 REMOTEON SOUNDOFF COMMENTSOFF
start_xvfb
start_torv
wait_for '[[ -f "$RESULT" ]]' 10 || fail "no result file after the sequence"
sleep 0.3
[[ "$(last_entry)" == "Signed Commands Required" ]] || fail "the sequence's log ends with '$(last_entry)'"
[[ "$(answer_stamp)" == 0 ]] || fail "the sequence's result is not signed at stamp 0"

# A report signed by --sign, kept for a replay.
"$PROG/torv" --sign report --key-file "$WORK/party.key" >"$WORK/signed-report" || fail "--sign failed"
cp "$WORK/signed-report" "$WORK/replay"
STAMP=$(sed -n 2p "$WORK/signed-report" | cut -d' ' -f2)
send "$WORK/signed-report"
[[ "$(last_entry)" == "Report Requested and Generated at:"* ]] || fail "--sign report: '$(last_entry)'"
[[ "$(answer_stamp)" == "$STAMP" ]] || fail "the answer is not signed with the command's stamp $STAMP"

# A report signed by the manual's recipe, run as written by a POSIX shell.
sleep 1 # its stamps count whole seconds
KEY="$KEY" CMD=report DIR="$XCHG" sh "$WORK/sign.sh" || fail "the manual's recipe failed"
wait_for answered 13 || fail "the recipe's report was not answered"
sleep 0.3
[[ "$(last_entry)" == "Report Requested and Generated at:"* ]] || fail "recipe report: '$(last_entry)'"
STAMP2=$(answer_stamp) || fail "the answer to the recipe's report does not verify"
((STAMP2 > STAMP && STAMP2 % 1000 == 0)) || fail "the recipe's answer has stamp $STAMP2"

# The first file dropped again: refused, answered at stamp 0, nothing run.
send "$WORK/replay"
[[ "$(last_entry)" == "REFUSED UNSIGNED COMMAND at:"* ]] || fail "replay: '$(last_entry)'"
[[ "$(answer_stamp)" == 0 ]] || fail "the refusal is not signed at stamp 0"

# An unsigned off: refused; the fake shutdown never runs.
printf 'off\r\n' >"$WORK/unsigned-off"
send "$WORK/unsigned-off"
[[ "$(last_entry)" == "REFUSED UNSIGNED COMMAND at:"* ]] || fail "unsigned off: '$(last_entry)'"
sleep 1
[[ ! -e "$WORK/shutdown.log" ]] || fail "an unsigned off ran shutdown"

# A signed off: acknowledged and run.
"$PROG/torv" --sign off --key-file "$WORK/party.key" >"$WORK/signed-off" || fail "--sign off failed"
send "$WORK/signed-off"
[[ "$(last_entry)" == "System Shutdown Acknowledged at:"* ]] || fail "signed off: '$(last_entry)'"
wait_for '[[ -s "$WORK/shutdown.log" ]]' 5 || fail "a signed off did not run shutdown"
[[ "$(cat "$WORK/shutdown.log")" == "-h now" ]] || fail "shutdown ran with '$(cat "$WORK/shutdown.log")'"
torv_running || fail "the console died"
screenshot signed-after-off
echo "PASS"
