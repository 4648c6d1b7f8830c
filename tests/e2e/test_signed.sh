#!/usr/bin/env bash
# Signed remote commands with the real binary: a key made by --new-key, a
# report signed by --sign and one signed by the manual's shell recipe (taken
# from the manual itself, so the two cannot drift apart), the same file again
# (refused), a signature off in its last hex digit, an unsigned "off"
# (refused, no shutdown) and a signed one (run). Every answer is checked with
# the manual's openssl recipe and with --verify-answer, and neither accepts a
# forged answer, a tampered one or an old one as the answer to a newer command.
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
# The command stamp that the answer in folder $1 (default: the exchange
# folder) answers, when it verifies by the manual's recipe and by
# --verify-answer alike (which says "none" for the recipe's 0).
answer_stamp() {
  local dir="${1:-$XCHG}" out tool
  out=$(KEY="$KEY" DIR="$dir" sh "$WORK/verify.sh") || return 1
  [[ "$out" =~ ^answers\ ([0-9]+)\ written\ ([0-9]+)$ ]] || return 1
  tool=$("$PROG/torv" --verify-answer "$dir" --key-file "$WORK/party.key") || return 1
  [[ "$tool" == "answers ${BASH_REMATCH[1]/#0/none} written ${BASH_REMATCH[2]}" ]] || fail "--verify-answer said '$tool', the recipe '$out'"
  echo "${BASH_REMATCH[1]}"
}
# Neither the recipe nor --verify-answer accepts the answer in folder $1.
rejected() {
  ! KEY="$KEY" DIR="$1" sh "$WORK/verify.sh" >/dev/null 2>&1 &&
    ! "$PROG/torv" --verify-answer "$1" --key-file "$WORK/party.key" >/dev/null 2>&1
}
# File $1 with the last hex digit of its line $2 changed (0 to 1, others to 0).
flip_last_digit() {
  awk -v n="$2" 'NR == n { cr = sub(/\r$/, ""); d = substr($0, length($0))
    $0 = substr($0, 1, length($0) - 1) (d == "0" ? "1" : "0") (cr ? "\r" : "") } { print }' "$1"
}
# A folder holding Result.txt and Result.txt.sig from the files given.
answer_folder() {
  mkdir -p "$WORK/$1"
  cp "$2" "$WORK/$1/Result.txt"
  cp "$3" "$WORK/$1/Result.txt.sig"
  echo "$WORK/$1"
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
cp "$RESULT" "$WORK/old-result"
cp "$RESULT.sig" "$WORK/old-sig"

# The command's own signed line is no answer: beside its bare text, or with
# its hex put into an answer's line.
printf 'report' >"$WORK/bare"
sed -n 2p "$WORK/replay" >"$WORK/command-line"
rejected "$(answer_folder forged1 "$WORK/bare" "$WORK/command-line")" || fail "a command's signed line passed for an answer"
read -r _ cstamp chex <"$WORK/command-line"
printf 'HMAC-SHA256-ANSWER %s %s %s\r\n' "$cstamp" "$cstamp" "${chex%$'\r'}" >"$WORK/forged-sig"
rejected "$(answer_folder forged2 "$WORK/bare" "$WORK/forged-sig")" || fail "a command's hex passed for an answer's"

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
[[ "$(last_entry)" == "REFUSED UNSIGNED COMMAND (stamp-used) at:"* ]] || fail "replay: '$(last_entry)'"
[[ "$(answer_stamp)" == 0 ]] || fail "the refusal does not answer 0"

# A signature that differs in its last hex digit: refused, nothing run.
"$PROG/torv" --sign "touch $WORK/ran" --key-file "$WORK/party.key" >"$WORK/signed-touch" || fail "--sign failed"
flip_last_digit "$WORK/signed-touch" 2 >"$WORK/off-by-one"
[[ "$(cmp "$WORK/signed-touch" "$WORK/off-by-one" | wc -l)" == 1 && $(stat -c %s "$WORK/signed-touch") == $(stat -c %s "$WORK/off-by-one") ]] ||
  fail "not one digit changed: $(diff "$WORK/signed-touch" "$WORK/off-by-one")"
send "$WORK/off-by-one"
[[ "$(last_entry)" == "REFUSED UNSIGNED COMMAND (bad-signature) at:"* ]] || fail "last digit off: '$(last_entry)'"
sleep 1
[[ ! -e "$WORK/ran" ]] || fail "a command with a wrong last hex digit was run"

# The answer to the first report still verifies, but as the answer to its own
# stamp, never to the newer commands since; halves of two answers, or an
# answer off in its last hex digit, do not verify at all.
[[ "$(answer_stamp "$(answer_folder old "$WORK/old-result" "$WORK/old-sig")")" == "$STAMP" ]] ||
  fail "the old answer does not verify as the answer to $STAMP"
rejected "$(answer_folder mixed "$RESULT" "$WORK/old-sig")" || fail "an old signature passed for the new result"
flip_last_digit "$RESULT.sig" 1 >"$WORK/tampered-sig"
cmp -s "$RESULT.sig" "$WORK/tampered-sig" && fail "the answer's signature was not changed"
rejected "$(answer_folder tampered "$RESULT" "$WORK/tampered-sig")" || fail "an answer off in its last hex digit verified"

# An unsigned off: refused; the fake shutdown never runs.
printf 'off\r\n' >"$WORK/unsigned-off"
send "$WORK/unsigned-off"
[[ "$(last_entry)" == "REFUSED UNSIGNED COMMAND (unsigned) at:"* ]] || fail "unsigned off: '$(last_entry)'"
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
