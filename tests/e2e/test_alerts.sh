#!/usr/bin/env bash
# The alert command and the metrics file on the real binary, headless: a
# missing program and a refused remote command start a script that appends
# its environment to a file; the metrics file passes promtool's check, is
# readable by all under umask 077, and says torv_up 0 after a clean stop.
source "$(dirname "$0")/lib.sh"
unset DISPLAY WAYLAND_DISPLAY XAUTHORITY
command -v promtool >/dev/null || fail "promtool is missing (scripts/deps.sh installs the prometheus package)"

ALERTS="$WORK/alerts.log"
cat >"$WORK/alert.sh" <<SCRIPT
#!/bin/sh
{ env | grep '^TORV_' | sort; echo ---; } >> "$ALERTS"
SCRIPT
printf '#!/bin/sh\ntouch "%s/marker"\n' "$WORK" >"$WORK/task.sh"
chmod +x "$WORK/alert.sh" "$WORK/task.sh"
mkdir "$WORK/metrics"
PROM="$WORK/metrics/torv.prom"

write_config NORM "$XCHG" "" 1 1 REMOTEON SOUNDOFF COMMENTSOFF \
  "Missing program" "$WORK/no-such-program" "Marker" "$WORK/task.sh"
printf '[alert]\ncommand = %s\nevents = all\n\n[metrics]\nfile = %s\n' "$WORK/alert.sh" "$PROM" >"$PROG/torv.ini"
# With a key every unsigned command is refused.
(umask 077 && "$PROG/torv" --new-key >/dev/null 2>&1) || fail "no remote key"

(cd "$WORK" && umask 077 && exec "$PROG/torv" --headless >"$WORK/out" 2>"$WORK/err") &
TORV_PID=$!
wait_for "grep -q TORV_EVENT=sequence-complete '$ALERTS' 2>/dev/null" 20 ||
  fail "no sequence-complete alert: $(cat "$ALERTS" 2>/dev/null) $(cat "$WORK/err")"
printf 'report\r\n' >"$XCHG/command.txt"
wait_for "grep -q TORV_EVENT=command-refused '$ALERTS'" 25 || fail "no alert for the refused command: $(cat "$ALERTS")"

# The environment of each alert, as the script saw it.
block() { awk -v RS='---\n' -v e="TORV_EVENT=$1" 'index("\n" $0, "\n" e "\n") { printf "%s", $0; exit }' "$ALERTS"; }
has() { grep -qxF -- "$2" <<<"$(block "$1")" || fail "the $1 alert has no '$2': $(block "$1")"; }
has launch-failed TORV_TASK=1
has launch-failed "TORV_DESCRIPTION=Missing program"
has launch-failed TORV_CODE=53
has launch-failed "TORV_HOST=$(hostname)"
grep -qE '^TORV_TIME=[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z$' <<<"$(block launch-failed)" ||
  fail "no UTC time: $(block launch-failed)"
grep -q '^TORV_MESSAGE=53 File not found' <<<"$(block launch-failed)" || fail "no box text: $(block launch-failed)"
has command-refused TORV_REASON=unsigned
[[ "$(grep -c '^TORV_EVENT=' "$ALERTS")" == 4 ]] || fail "not one alert per event: $(grep '^TORV_EVENT=' "$ALERTS")"
[[ -e "$WORK/marker" ]] || fail "the task after the missing one did not run"

# The metrics file: the format's own check, readable by the exporter.
wait_for "grep -qx 'torv_remote_refused_total{reason=\"unsigned\"} 1' '$PROM'" 5 || fail "no refusal counted: $(cat "$PROM")"
promtool check metrics <"$PROM" >"$WORK/promtool.out" 2>&1 || fail "promtool: $(cat "$WORK/promtool.out")"
[[ "$(stat -c %a "$PROM")" == 644 ]] || fail "the metrics file has mode $(stat -c %a "$PROM") under umask 077"
grep -qx 'torv_task_failures_total{task="1"} 1' "$PROM" || fail "no failure counted: $(cat "$PROM")"
grep -qx 'torv_sequence_state{state="complete"} 1' "$PROM" || fail "not complete: $(cat "$PROM")"
ls "$WORK/metrics" | grep -vqx torv.prom && fail "a temporary file was left: $(ls "$WORK/metrics")"

# A clean stop says so in the file.
kill -TERM "$TORV_PID"
wait_for '! torv_running' 10 || fail "the console did not stop"
TORV_PID=""
grep -qx 'torv_up 0' "$PROM" || fail "no torv_up 0 after the stop: $(cat "$PROM")"
promtool check metrics <"$PROM" >"$WORK/promtool.out" 2>&1 || fail "promtool after the stop: $(cat "$WORK/promtool.out")"
echo "PASS: alerts and metrics"
