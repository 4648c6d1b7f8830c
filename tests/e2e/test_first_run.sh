#!/usr/bin/env bash
# First run as an ordinary user would see it: the settings editor belongs to
# the still hidden console (a transient of it, so not a window of its own in
# the taskbar), and the remote folder it offers is the user's home folder.
source "$(dirname "$0")/lib.sh"

export HOME="$WORK/home"
mkdir -p "$HOME"
start_xvfb
start_torv

wait_for '[[ -n "$(window_named "^Launcher Config$")" ]]' 15 || fail "the editor did not open on a first run"
ED=$(window_named "^Launcher Config$")
OWNER=$(xprop -id "$ED" WM_TRANSIENT_FOR | awk '/window id/ { print $NF }')
[[ -n "$OWNER" ]] || fail "the editor is transient for no window"
OWNER_NAME=$(xprop -id "$OWNER" WM_NAME 2>/dev/null || true)
[[ "$OWNER_NAME" == *'"TORV   '* ]] || fail "the editor is transient for $OWNER ($OWNER_NAME), not for the console"

# Saved unchanged: the remote folder is the home folder, never "/".
sleep 0.5
xdotool windowfocus --sync "$ED" 2>/dev/null || xdotool windowfocus "$ED"
xdotool mousemove --window "$ED" $((1927 / 15)) $((6495 / 15)) click 1 # "Ok+&Restart"
wait_for '[[ -f "$PROG/config.ini" ]]' 10 || fail "config.ini was not written"
REMOTE=$(sed -n '2{s/\r$//;p}' "$PROG/config.ini")
[[ "$REMOTE" == "$HOME" ]] || fail "the first run's remote folder is '$REMOTE', expected '$HOME'"
echo PASS
