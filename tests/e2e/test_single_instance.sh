#!/usr/bin/env bash
# A second copy from the same folder ends at once and shows nothing, whoever
# starts it; a copy in another folder is another program and runs.
source "$(dirname "$0")/lib.sh"

start_xvfb
write_config NORM "$XCHG" "" 30 1 REMOTEOFF SOUNDOFF COMMENTSOFF
start_torv
wait_for '[[ -n "$(window_named "^TORV   ")" ]]' 10 || fail "no console window"

# The lock is the folder's, whatever the session or the user: a copy from an
# ssh session (its own XDG_RUNTIME_DIR) and one run by another user end too.
mkdir -m 700 "$WORK/other-runtime"
chmod 755 "$WORK" "$PROG"
SECOND=("env XDG_RUNTIME_DIR=$WORK/other-runtime"
  "setpriv --reuid=nobody --regid=nogroup --clear-groups env XDG_RUNTIME_DIR=")
for how in "" "${SECOND[@]}"; do
  # shellcheck disable=SC2086 # the prefix is words
  timeout 5 $how "$PROG/torv" >"$WORK/second.out" 2>&1 ||
    fail "the second copy ($how) did not end cleanly at once: $(cat "$WORK/second.out")"
  (($(xdotool search --onlyvisible --name "^TORV" | wc -l) == 1)) || fail "the second copy ($how) showed a window"
  torv_running || fail "the first copy was affected"
done

mkdir -p "$WORK/other"
cp "$PROG"/torv* "$PROG/config.ini" "$WORK/other/"
"$WORK/other/torv" >/dev/null 2>&1 &
OTHER=$!
wait_for '(($(xdotool search --onlyvisible --name "^TORV   " | wc -l) == 2))' 10 || fail "a copy in another folder did not start"
kill "$OTHER"
echo PASS
