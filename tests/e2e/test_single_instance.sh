#!/usr/bin/env bash
# A second copy from the same folder ends at once and shows nothing; a copy in
# another folder is another program and runs.
source "$(dirname "$0")/lib.sh"

start_xvfb
write_config NORM "$XCHG" "" 30 1 REMOTEOFF SOUNDOFF COMMENTSOFF
start_torv
wait_for '[[ -n "$(window_named "^TORV   ")" ]]' 10 || fail "no console window"

timeout 10 "$PROG/torv" >/dev/null 2>&1 || fail "the second copy did not end cleanly at once"
(($(xdotool search --onlyvisible --name "^TORV" | wc -l) == 1)) || fail "the second copy showed a window"
torv_running || fail "the first copy was affected"

mkdir -p "$WORK/other"
cp "$PROG/torv" "$PROG/config.ini" "$WORK/other/"
"$WORK/other/torv" >/dev/null 2>&1 &
OTHER=$!
wait_for '(($(xdotool search --onlyvisible --name "^TORV   " | wc -l) == 2))' 10 || fail "a copy in another folder did not start"
kill "$OTHER"
echo PASS
