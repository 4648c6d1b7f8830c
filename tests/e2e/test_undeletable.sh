#!/usr/bin/env bash
# A remote folder where the console, run unprivileged, may read command.txt
# but not delete it (its Result.txt is the console's to write in place): a
# command line runs once, not at every poll, nor after a restart of the
# console; the same command written anew runs; an undeletable "off" never
# starts shutdown. Then the program folder and Result.txt made unwritable.
# Headless, so no display is needed.
source "$(dirname "$0")/lib.sh"
unset DISPLAY WAYLAND_DISPLAY XAUTHORITY

chmod 755 "$WORK" # nobody must reach its folders
mkdir -p "$WORK/rec" "$WORK/nobody-run" "$WORK/nobody-home"
chown nobody:nogroup "$WORK/rec" "$WORK/nobody-run" "$WORK/nobody-home"
chmod 700 "$WORK/nobody-run"
# The fake shutdown writes as nobody: its log must exist and be nobody's.
install -o nobody -g nogroup -m 644 /dev/null "$WORK/shutdown.log"
printf '#!/bin/sh\necho ran >> "%s/rec/marks"\n' "$WORK" >"$WORK/mark.sh"
chmod 755 "$WORK/mark.sh"

write_config NORM "$XCHG" "" 1 1 REMOTEON SOUNDOFF COMMENTSOFF
chown -R nobody:nogroup "$PROG"
# The folder is root's: nobody may read it and write the result in place.
chmod 755 "$XCHG"
install -o nobody -g nogroup -m 644 /dev/null "$XCHG/Result.txt"
put_command() { printf '%s\r\n' "$1" >"$XCHG/command.txt" && chmod 644 "$XCHG/command.txt"; }

start_as_nobody() {
  rm -f "$WORK/out" "$WORK/err"
  (cd "$WORK" && exec env HOME="$WORK/nobody-home" XDG_RUNTIME_DIR="$WORK/nobody-run" \
    setpriv --reuid=nobody --regid=nogroup --clear-groups "$PROG/torv" --headless >"$WORK/out" 2>"$WORK/err") &
  TORV_PID=$!
  wait_for 'grep -q "^Command Interface Active" "$WORK/out" 2>/dev/null' 10 || fail "the poll did not start: $(cat "$WORK/err")"
}
stop() {
  kill -TERM "$TORV_PID"
  wait "$TORV_PID" || fail "the console ended with status $?"
  TORV_PID=""
}
marks() { if [[ -f "$WORK/rec/marks" ]]; then wc -l <"$WORK/rec/marks"; else echo 0; fi; }
count() { grep -c "$1" "$WORK/out" || true; }
KEPT='^COMMAND FILE KEPT: command.txt could not be deleted (70 Permission denied), it is not carried out again at:'

put_command "$WORK/mark.sh"
start_as_nobody
wait_for 'grep -q "$KEPT" "$WORK/out"' 13 || fail "no word that the command file was kept: $(cat "$WORK/out")"
wait_for '(($(marks) == 1))' 3 || fail "the command ran $(marks) times"
grep -q "$KEPT" "$XCHG/Result.txt" || fail "Result.txt does not say the command file was kept"
[[ -s "$PROG/remote.undeleted" ]] || fail "the kept file is not remembered in the program folder"
# The folder away for a poll, and back: the kept file is not forgotten.
mv "$XCHG" "$XCHG.away" && sleep 11 && mv "$XCHG.away" "$XCHG"
stop
[[ -s "$PROG/remote.undeleted" ]] || fail "the kept file was forgotten while its folder was away"
(($(marks) == 1 && $(count '^Executing Remote Command') == 1 && $(count "$KEPT") == 1)) ||
  fail "the kept command was carried out again: $(cat "$WORK/out")"

# A restart of the console meets the same file: nothing.
start_as_nobody
sleep 11
(($(marks) == 1)) || fail "after a restart the kept command ran again"
(($(count '^Executing Remote Command') == 0)) || fail "after a restart: $(cat "$WORK/out")"

# The same command written anew in its place runs once.
sleep 1 # another modification time, whatever the file system's grain
put_command "$WORK/mark.sh"
wait_for '(($(marks) == 2))' 13 || fail "the command written anew did not run"
wait_for 'grep -q "$KEPT" "$WORK/out"' 3 || fail "no word that the new file was kept"

# An undeletable off: acknowledged, but shutdown never starts.
put_command off
wait_for 'grep -q "^SHUTDOWN NOT CARRIED OUT: command.txt could not be deleted (70 Permission denied) at:" "$WORK/out"' 13 ||
  fail "no word that the shutdown was not carried out: $(cat "$WORK/out")"
sleep 11
[[ ! -s "$WORK/shutdown.log" ]] || fail "an undeletable off started shutdown: $(cat "$WORK/shutdown.log")"
(($(count '^System Shutdown Acknowledged') == 1)) || fail "off was handled again: $(cat "$WORK/out")"
(($(marks) == 2)) || fail "the command ran $(marks) times"
torv_running || fail "the console ended"
stop

# A program folder that is root's alone (only the key and config.ini are
# nobody's) and a sticky folder whose Result.txt is root's: a signed command is
# refused as state-unwritable, said at start-up; without the key a command runs
# once, and the unwritable answer is said once.
rm -f "$PROG"/remote.* "$XCHG/command.txt" "$XCHG/Result.txt"
chown root:root "$PROG" && chmod 755 "$PROG" "$XCHG" && chmod 1777 "$XCHG"
install -o root -m 644 /dev/null "$XCHG/Result.txt"
put_command() { printf '%s\r\n' "$1" >"$XCHG/command.txt" && chown nobody "$XCHG/command.txt"; }
install -m 600 /dev/null "$WORK/party.key"
"$PROG/torv" --new-key >"$WORK/party.key" 2>/dev/null && chown nobody "$PROG/remote.key" || fail "--new-key failed"
start_as_nobody
grep -q '^WARNING: remote.stamp cannot be written (.*): signed commands will be refused$' "$WORK/err" ||
  fail "no start-up warning: $(cat "$WORK/err")"
"$PROG/torv" --sign "$WORK/mark.sh" --key-file "$WORK/party.key" >"$XCHG/command.txt" && chown nobody "$XCHG/command.txt"
wait_for '[[ ! -e "$XCHG/command.txt" ]]' 13 || fail "the signed command was left unanswered"
(($(count '^REFUSED UNSIGNED COMMAND (state-unwritable) at:') == 1 && $(marks) == 2)) || fail "not refused: $(cat "$WORK/out")"
stop
rm "$PROG/remote.key"
start_as_nobody
send_mark() {
  put_command "$WORK/mark.sh"
  wait_for '[[ ! -e "$XCHG/command.txt" ]]' 13 || fail "command $(($(marks) + 1)) was not carried out"
}
send_mark && send_mark
chown nobody "$XCHG/Result.txt" && send_mark # an answer gets through
wait_for 'grep -q "^Result.txt Not Written" "$XCHG/Result.txt"' 3 || fail "the answer did not get through"
chown root "$XCHG/Result.txt" && send_mark
# The file goes before the script has run and the answer is written.
wait_for '(($(marks) == 6 && $(count "^Result.txt Not Written: ") == 2))' 5 || fail "ran $(marks) times: $(cat "$WORK/out")"
stop
echo "PASS"
