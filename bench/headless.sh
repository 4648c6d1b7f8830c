#!/usr/bin/env bash
# The headless console's three figures, with no display and no X server:
#   start-up   exec to the first journal line ("Seuquence Init"), median of 15;
#              and, since a busy machine stretches wall time, the CPU time of a
#              whole short run (start-up, sequence, result file, "EXIT")
#   memory     peak resident set (VmHWM) during a 30 s countdown
#   CPU        CPU time over 25 s of that countdown
# Targets: <= 30 ms, <= 15 MB, <= 0.1 % of one core.
# Usage: bench/headless.sh [build/bin]
set -euo pipefail
BIN_DIR="${1:-$(cd "$(dirname "$0")/.." && pwd)/build/bin}"
WORK="$(mktemp -d /tmp/torv-bench.XXXXXX)"
TORV=""
trap '[[ -n "$TORV" ]] && kill "$TORV" 2>/dev/null; rm -rf "$WORK"' EXIT
mkdir -p "$WORK/prog" "$WORK/x" "$WORK/run"
cp "$BIN_DIR"/torv* "$BIN_DIR"/*.wav "$WORK/prog/"
printf '%s\r\n' NORM "$WORK/x" "" 30 10 REMOTEOFF SOUNDOFF COMMENTSOFF >"$WORK/prog/config.ini"
unset DISPLAY WAYLAND_DISPLAY
export XDG_RUNTIME_DIR="$WORK/run" LANG=C LC_ALL=C

# Start-up: the clock starts just before the exec and stops when the first
# line arrives through the pipe.
times=()
for _ in $(seq 15); do
  coproc T { exec "$WORK/prog/torv" --headless 2>/dev/null; }
  t0=$EPOCHREALTIME
  read -r line <&"${T[0]}"
  t1=$EPOCHREALTIME
  kill "$T_PID"
  wait "$T_PID" 2>/dev/null || true
  [[ "$line" == "Seuquence Init" ]] || { echo "first line was '$line'" >&2; exit 1; }
  times+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.1f", (b - a) * 1000 }')")
done
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
START_MS=$(printf '%s\n' "${times[@]}" | median)

# A whole run: InitTime 1, no task, "EXIT". Wall and CPU (user + system) time.
mkdir -p "$WORK/short"
cp "$BIN_DIR"/torv* "$WORK/short/"
printf '%s\r\n' EXIT "$WORK/x" "" 1 1 REMOTEOFF SOUNDOFF COMMENTSOFF >"$WORK/short/config.ini"
TIMEFORMAT='%R %U %S'
runs=()
for _ in $(seq 15); do
  runs+=("$({ time "$WORK/short/torv" --headless >/dev/null 2>&1; } 2>&1)")
done
RUN_WALL=$(printf '%s\n' "${runs[@]}" | awk '{ print $1 * 1000 }' | median)
RUN_CPU=$(printf '%s\n' "${runs[@]}" | awk '{ print ($2 + $3) * 1000 }' | median)

"$WORK/prog/torv" --headless >/dev/null 2>&1 &
TORV=$!
ticks() { awk '{ print $14 + $15 }' "/proc/$TORV/stat"; }
sleep 3 # start-up itself is not the countdown
T0=$(ticks)
sleep 25
T1=$(ticks)
HWM_KB=$(awk '/^VmHWM:/ { print $2 }' "/proc/$TORV/status")
RSS_KB=$(awk '/^VmRSS:/ { print $2 }' "/proc/$TORV/status")
HZ=$(getconf CLK_TCK)
echo "start-up to the first journal line: ${START_MS} ms (median of 15; all: ${times[*]})"
echo "a whole short run (EXIT): ${RUN_WALL} ms wall, ${RUN_CPU} ms CPU (medians of 15); load: $(cut -d' ' -f1-3 /proc/loadavg)"
awk -v h="$HWM_KB" -v r="$RSS_KB" 'BEGIN { printf "peak resident memory: %.1f MB (now %.1f MB)\n", h / 1024, r / 1024 }'
awk -v a="$T0" -v b="$T1" -v hz="$HZ" 'BEGIN {
  cpu = (b - a) / hz
  printf "countdown: %.2f s of CPU over 25 s = %.3f %% of one core\n", cpu, 100 * cpu / 25 }'
