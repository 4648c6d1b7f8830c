#!/usr/bin/env bash
# The real console answers command files: a refused DELTREE, a script run
# without a shell, a pipe planted as the command file (the window must stay
# usable), a report after the log was cleared, and "off" with the fake shutdown,
# after which nothing is answered any more.
source "$(dirname "$0")/lib.sh"

[[ "$(command -v shutdown)" == "$WORK/fakebin/shutdown" ]] || fail "the fake shutdown is not first on PATH"

CMD="$XCHG/command.txt"
RESULT="$XCHG/Result.txt"

# Command files appear whole: written under another name, then renamed.
put_command() {
  printf '%s\r\n' "$1" >"$XCHG/.command.tmp"
  mv -f "$XCHG/.command.tmp" "$CMD"
}
# The result file is written right after the command file goes.
answered() { [[ ! -e "$CMD" && ! -p "$CMD" ]] && sleep 0.2; }
result_has() { [[ -f "$RESULT" ]] && grep -qF -- "$1" "$RESULT"; }

cat >"$WORK/remote-script" <<SCRIPT
#!/bin/sh
for a in "\$@"; do echo "[\$a]"; done > "$WORK/marker.tmp"
mv "$WORK/marker.tmp" "$WORK/marker"
SCRIPT
chmod +x "$WORK/remote-script"

write_config NORM "$XCHG" "" 1 1 REMOTEON SOUNDOFF COMMENTSOFF

start_xvfb
start_torv
wait_for '[[ -n "$(window_named "^TORV   ")" ]]' 10 || fail "no console window"
WIN=$(window_named "^TORV   ")
# The sequence has no tasks; its result file means the poll is now on.
wait_for '[[ -f "$RESULT" ]]' 10 || fail "no result file after the sequence"

# A refused command: logged as hostile, its text never.
put_command "DELTREE x"
wait_for answered 12 || fail "DELTREE not answered within 12 s"
result_has "HOSTILE COMMAND DEL:" || fail "no HOSTILE line in the result file"
! result_has "DELTREE" || fail "the refused text was logged"

# A command line that runs a script; nothing in it reaches a shell.
put_command "$WORK/remote-script one \"two words\" \$(touch $WORK/pwned);id"
wait_for answered 12 || fail "script command not answered"
wait_for '[[ -s "$WORK/marker" ]]' 5 || fail "the script did not run"
[[ "$(cat "$WORK/marker")" == "[one]"$'\n'"[two words]"$'\n'"[\$(touch]"$'\n'"[$WORK/pwned);id]" ]] ||
  fail "script got unexpected arguments: $(cat "$WORK/marker")"
[[ ! -e "$WORK/pwned" ]] || fail "the command line went through a shell"
result_has "Executing Remote Command:$WORK/remote-script one" || fail "no Executing line in the result file"

# A pipe named command.txt: the poll must neither block nor touch it.
mkfifo "$XCHG/.fifo.tmp"
mv -f "$XCHG/.fifo.tmp" "$CMD"
# A poll certainly meets the pipe within 11 s (the timer may run 5% late).
sleep 11
[[ -p "$CMD" ]] || fail "the pipe was removed"
# The Clear button "S" (17x17 at 64,416 in the window) still answers.
xdotool mousemove --window "$WIN" 72 424 click 1
sleep 0.5
screenshot remote-cleared
put_command "report"
SENT=$(date +%s)
wait_for answered 12 || fail "report not answered within 12 s after the pipe"
(($(date +%s) - SENT <= 12)) || fail "report answered too late"
FIRST=$(head -1 "$RESULT" | tr -d '\r')
[[ "$FIRST" == "Report Requested and Generated at:"* ]] ||
  fail "the log was not cleared by the button (result starts with '$FIRST')"

# "off": acknowledged, answered, the command removed, the fake shutdown run.
put_command "off"
wait_for answered 12 || fail "off not answered"
result_has "System Shutdown Acknowledged at:" || fail "no acknowledgement in the result file"
wait_for '[[ -s "$WORK/shutdown.log" ]]' 5 || fail "the shutdown command was not run"
[[ "$(cat "$WORK/shutdown.log")" == "-h now" ]] || fail "shutdown ran with '$(cat "$WORK/shutdown.log")'"
BEFORE=$(cat "$RESULT")
# The poll is off now: a new command stays unanswered past the next tick.
put_command "report"
sleep 11
[[ -f "$CMD" ]] || fail "a command was answered after off"
[[ "$(cat "$RESULT")" == "$BEFORE" ]] || fail "the result file changed after off"
torv_running || fail "the console died"
screenshot remote-after-off
echo "PASS"
