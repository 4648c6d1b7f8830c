#!/usr/bin/env bash
# The console's start-up against a bare 440x470 Qt 6 text window
# (QPlainTextEdit) with one sound effect (bench/bare_window), in the same run on the same X server, taking turns:
#   shown    exec to the first window mapped on the display (bench/map_watch)
#   memory   resident set one second after the exec
# The console has 100 tasks and counts down 30 s, sounds on. Medians of
# RUNS (default 9). Target: within 1.15x the time and 3 MB of the bare window.
# For reference the same bare window showing one line of text is measured too:
# the empty box lays out no text, so it never loads the text machinery
# (HarfBuzz, a font engine) that any window showing a word pays for.
# Usage: bench/window_startup.sh [build/bin] [runs]; the yardstick and the
# watcher come from the bench folder beside build/bin (TORV_BENCH_TOOLS to
# take them from elsewhere, e.g. to time an older build with them).
set -euo pipefail
BIN_DIR="$(cd "${1:-$(dirname "$0")/../build/bin}" && pwd)"
TOOLS="${TORV_BENCH_TOOLS:-$BIN_DIR/../bench}"
RUNS="${2:-9}"
WORK="$(mktemp -d /tmp/torv-bench.XXXXXX)"
XVFB="" PROGRAM="" WATCH=""
trap 'for p in $PROGRAM $WATCH $XVFB; do kill "$p" 2>/dev/null || true; done; rm -rf "$WORK"' EXIT
mkdir -p "$WORK/prog" "$WORK/x" "$WORK/fakebin" "$WORK/runtime"
chmod 700 "$WORK/runtime"
cp "$BIN_DIR"/torv* "$BIN_DIR"/*.wav "$WORK/prog/"
# Nothing here may reach the real shutdown: a recorder stands first on PATH.
printf '#!/bin/sh\necho "$@" >> "%s/shutdown.log"\n' "$WORK" >"$WORK/fakebin/shutdown"
chmod +x "$WORK/fakebin/shutdown"
export PATH="$WORK/fakebin:$PATH" XDG_RUNTIME_DIR="$WORK/runtime" LANG=C LC_ALL=C
{
  printf '%s\r\n' NORM "$WORK/x" "" 30 10 REMOTEOFF SOUNDON COMMENTSOFF
  for i in $(seq 100); do printf 'Task %s\r\n/bin/true %s\r\n' "$i" "$i"; done
} >"$WORK/prog/config.ini"

mkfifo "$WORK/fd"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$WORK/fd" >/dev/null 2>&1 &
XVFB=$!
read -r N <"$WORK/fd"
export DISPLAY=":$N"

# One run of a program: prints "ms_to_window rss_kb".
measure() {
  coproc WATCHER { exec "$TOOLS/map_watch" "$WORK/t0"; }
  WATCH=$WATCHER_PID
  read -r ready <&"${WATCHER[0]}"
  [[ "$ready" == ready ]] || { echo "map_watch did not start" >&2; exit 1; }
  printf '%s\n' "$EPOCHREALTIME" >"$WORK/t0"
  "$@" >/dev/null 2>&1 &
  PROGRAM=$!
  local t0 shown
  t0=$(<"$WORK/t0")
  read -r shown <&"${WATCHER[0]}"
  wait "$WATCH" 2>/dev/null || true
  WATCH=""
  # One second after the exec.
  local left
  left=$(awk -v t0="$t0" -v now="$EPOCHREALTIME" 'BEGIN { d = 1 - (now - t0); print (d > 0 ? d : 0) }')
  sleep "$left"
  local rss
  rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$PROGRAM/status")
  kill "$PROGRAM"
  wait "$PROGRAM" 2>/dev/null || true
  PROGRAM=""
  echo "$shown $rss"
}

torv_runs=() bare_runs=() line_runs=()
for _ in $(seq "$RUNS"); do
  torv_runs+=("$(measure "$WORK/prog/torv")")
  bare_runs+=("$(measure "$TOOLS/bare_window" "$WORK/prog/START.wav")")
  line_runs+=("$(measure "$TOOLS/bare_window" "$WORK/prog/START.wav" "Seuquence Init")")
done
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
column() { printf '%s\n' "${@:2}" | awk -v c="$1" '{ print $c }' | median; }
T_MS=$(column 1 "${torv_runs[@]}")
B_MS=$(column 1 "${bare_runs[@]}")
T_KB=$(column 2 "${torv_runs[@]}")
B_KB=$(column 2 "${bare_runs[@]}")
L_MS=$(column 1 "${line_runs[@]}")
L_KB=$(column 2 "${line_runs[@]}")
awk -v t="$T_MS" -v b="$B_MS" -v tk="$T_KB" -v bk="$B_KB" -v l="$L_MS" -v lk="$L_KB" -v n="$RUNS" 'BEGIN {
  printf "window shown: console %.1f ms, bare window %.1f ms (%.2fx; medians of %d)\n", t, b, t / b, n
  printf "resident 1 s after start: console %.1f MB, bare window %.1f MB (+%.1f MB)\n", tk / 1024, bk / 1024, (tk - bk) / 1024
  printf "for reference, the bare window showing one line: %.1f ms, %.1f MB (console %.2fx, %+.1f MB)\n", l, lk / 1024, t / l, (tk - lk) / 1024 }'
echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"
