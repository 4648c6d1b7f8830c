#!/usr/bin/env bash
# torv --headless whose output systemd's journal reads (JOURNAL_STREAM names
# the stream): each line carries its syslog priority, so that
# `journalctl -p err` shows the failures. Anywhere else the lines stay bare.
source "$(dirname "$0")/lib.sh"
unset DISPLAY WAYLAND_DISPLAY XAUTHORITY

write_config EXIT "$XCHG" "" 1 1 REMOTEOFF SOUNDOFF COMMENTSOFF \
  "Missing program" "$WORK/no-such-program"

# Both streams into one file, as the journal's one socket takes both.
run_into() {
  local journal="$1"
  : >"$WORK/journal"
  local stream
  stream="$(stat -c '%d:%i' "$WORK/journal")"
  [[ "$journal" == yes ]] || stream="$(stat -c '%d:%i' "$PROG/config.ini")"
  (cd "$WORK" && JOURNAL_STREAM="$stream" timeout 20 "$PROG/torv" --headless >>"$WORK/journal" 2>&1) ||
    fail "the console did not end by itself: $(cat "$WORK/journal")"
}

run_into yes
grep -qx '<6>Seuquence Init' "$WORK/journal" || fail "no informational prefix: $(cat "$WORK/journal")"
grep -q '^<3>ERROR: 53 ' "$WORK/journal" ||
  fail "the failed launch is not an error line: $(cat "$WORK/journal")"
grep -q '^<6>Command Failed' "$WORK/journal" || fail "the log's own line lost its prefix"
grep -vq '^<[346]>' "$WORK/journal" && fail "a line without a priority: $(grep -v '^<[346]>' "$WORK/journal")"

# JOURNAL_STREAM naming another file (output redirected since): no prefixes.
run_into no
grep -q '^<' "$WORK/journal" && fail "a prefix outside the journal: $(cat "$WORK/journal")"
grep -qx 'Seuquence Init' "$WORK/journal" || fail "the journal lines are missing: $(cat "$WORK/journal")"
echo "PASS: journal priorities"
