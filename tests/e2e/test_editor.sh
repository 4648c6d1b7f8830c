#!/usr/bin/env bash
# First run of the real console: no config.ini, so the settings editor opens.
# The test fills task 1 with a script, shortens both times, chooses the remote
# folder in the folder browser and presses "Ok+Restart"; the console then
# reads the new config.ini and runs the script.
source "$(dirname "$0")/lib.sh"

INBOX="$PROG/inbox"
mkdir -p "$INBOX"
cat >"$WORK/task.sh" <<SCRIPT
#!/bin/sh
date +%s.%N > "$WORK/marker"
SCRIPT
chmod +x "$WORK/task.sh"
# The first run's remote folder is the home folder (a temporary one here); the
# test moves it to the inbox before anything runs, and watches that nothing
# lands in the home folder.
export HOME="$WORK/home"
mkdir -p "$HOME"

start_xvfb
start_torv

wait_for '[[ -n "$(window_named "^Launcher Config$")" ]]' 15 || fail "the editor did not open on a first run"
ED=$(window_named "^Launcher Config$")
sleep 0.5
xdotool windowfocus --sync "$ED" 2>/dev/null || xdotool windowfocus "$ED"

# Clicks a point of the editor given in twips, as the layout places controls.
click_twips() {
  xdotool mousemove --window "$1" $(($2 / 15)) $(($3 / 15)) click 1
  sleep 0.2
}
# Replaces the whole text of the box under the point.
type_over() {
  click_twips "$ED" "$1" "$2"
  xdotool key --clearmodifiers ctrl+a
  xdotool type --delay 20 "$3"
  sleep 0.2
}

type_over 3870 390 "1"             # Time Before Execution Starts
type_over 3870 810 "1"             # Time Between Executions
type_over 2000 4950 "Write marker" # Description of slot 1
type_over 2000 5550 "$WORK/task.sh" # Location of slot 1
sleep 0.3
import -window "$ED" "$ARTIFACTS/editor.png"

click_twips "$ED" 4265 3095 # "..." of the remote command folder
wait_for '[[ -n "$(window_named "^Browse Folder$")" ]]' 10 || fail "no folder browser"
BR=$(window_named "^Browse Folder$")
sleep 0.5
import -window "$BR" "$ARTIFACTS/folder-browser-opening.png"
# The list opens at the program folder; its one subfolder is the inbox.
press_key "$BR" Down
press_key "$BR" Return
sleep 0.3
import -window "$BR" "$ARTIFACTS/folder-browser-inbox-opened.png"
click_twips "$BR" 1357 3397 # "&Ok"
wait_for '[[ -z "$(window_named "^Browse Folder$")" ]]' 10 || fail "the folder browser did not close"
sleep 0.3
import -window "$ED" "$ARTIFACTS/editor-filled.png"

click_twips "$ED" 1927 6495 # "Ok+&Restart"
wait_for '[[ -f "$PROG/config.ini" ]]' 10 || fail "config.ini was not written"
mapfile -t LINES < <(sed 's/\r$//' "$PROG/config.ini")
if [[ "${LINES[1]:-}" != "$INBOX" ]]; then
  # Stop before the sequence could write its result into the first run's folder.
  kill -9 "$TORV_PID"
  TORV_PID=""
  fail "remote folder is '${LINES[1]:-}', expected '$INBOX'"
fi
EXPECTED=("NORM" "$INBOX" "" "1" "1" "REMOTEON" "SOUNDON" "COMMENTSOFF" "Write marker" "$WORK/task.sh")
((${#LINES[@]} == ${#EXPECTED[@]})) || fail "config.ini has ${#LINES[@]} lines: ${LINES[*]}"
for i in "${!EXPECTED[@]}"; do
  [[ "${LINES[$i]}" == "${EXPECTED[$i]}" ]] || fail "config.ini line $((i + 1)) is '${LINES[$i]}', expected '${EXPECTED[$i]}'"
done

# The restarted console runs the new task within the new, short times.
wait_for '[[ -s "$WORK/marker" ]]' 15 || fail "the task of the new config.ini did not run"
wait_for '[[ -f "$INBOX/Result.txt" ]]' 10 || fail "no result file in the chosen folder"
grep -q "Write marker" "$INBOX/Result.txt" || fail "the result does not log the new task"
wait_for '[[ -n "$(window_named "^TORV   ")" ]]' 10 || fail "no console window after the restart"
sleep 0.5
screenshot console-after-editor
torv_running || fail "the program ended"
[[ ! -e "$HOME/Result.txt" ]] || fail "a result file was written into the first run's folder"
[[ ! -e "$WORK/shutdown.log" ]] || fail "shutdown was run"
echo "PASS"
