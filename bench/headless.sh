#!/usr/bin/env bash
# The headless console's figures, with no display and no X server:
#   start-up   exec to the first journal line ("Seuquence Init") and the peak
#              resident set one second after the exec, against a bare Qt Core
#              program that prints a line (bench/bare_core), taking turns,
#              medians of 9; the shared libraries mapped, and whether libcurl
#              or libcrypto is among them (it must not be: torv.ini asks for
#              neither here); and, since a busy machine stretches wall time,
#              the CPU time of a whole short run (start-up, sequence, result
#              file, "EXIT")
#   memory     peak resident set (VmHWM) during a 30 s countdown
#   CPU        CPU time over 25 s of that countdown
# Targets: first line <= 1.3x the bare program's, peak resident <= its + 2 MB,
# <= 0.1 % of one core.
# Usage: bench/headless.sh [build/bin]; the yardstick comes from the bench
# folder beside build/bin (TORV_BENCH_TOOLS to take it from elsewhere).
set -euo pipefail
BIN_DIR="$(cd "${1:-$(dirname "$0")/../build/bin}" && pwd)"
TOOLS="${TORV_BENCH_TOOLS:-$BIN_DIR/../bench}"
WORK="$(mktemp -d /tmp/torv-bench.XXXXXX)"
TORV=""
trap '[[ -n "$TORV" ]] && kill "$TORV" 2>/dev/null; rm -rf "$WORK"' EXIT
mkdir -p "$WORK/prog" "$WORK/x" "$WORK/run"
cp "$BIN_DIR"/torv* "$BIN_DIR"/*.wav "$WORK/prog/"
printf '%s\r\n' NORM "$WORK/x" "" 30 10 REMOTEOFF SOUNDOFF COMMENTSOFF >"$WORK/prog/config.ini"
unset DISPLAY WAYLAND_DISPLAY
export XDG_RUNTIME_DIR="$WORK/run" LANG=C LC_ALL=C

# Start-up against the yardstick, a bare Qt Core program that prints a line
# and waits on its loop (bench/bare_core), taking turns: the clock starts just
# before the exec and stops when the first line arrives through the pipe; the
# peak resident set is read one second after the exec.
once() { # prints "ms_to_first_line peak_kb libraries_mapped curl_or_crypto_mapped"
  local expect="$1"
  shift
  coproc T { exec "$@" 2>/dev/null; }
  local t0=$EPOCHREALTIME t1 line
  read -r line <&"${T[0]}"
  t1=$EPOCHREALTIME
  [[ "$line" == "$expect" ]] || { echo "first line was '$line'" >&2; exit 1; }
  sleep "$(awk -v a="$t0" -v b="$EPOCHREALTIME" 'BEGIN { d = 1 - (b - a); print (d > 0 ? d : 0) }')"
  local hwm libs heavy
  hwm=$(awk '/^VmHWM:/ { print $2 }' "/proc/$T_PID/status")
  libs=$(awk '$6 ~ /\.so/ { print $6 }' "/proc/$T_PID/maps" | sort -u | wc -l)
  heavy=$(grep -cE 'libcurl|libcrypto' "/proc/$T_PID/maps" || true)
  kill "$T_PID"
  wait "$T_PID" 2>/dev/null || true
  echo "$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.1f", (b - a) * 1000 }') $hwm $libs $heavy"
}
torv_runs=() bare_runs=()
for _ in $(seq 9); do
  torv_runs+=("$(once "Seuquence Init" "$WORK/prog/torv" --headless)")
  bare_runs+=("$(once ready "$TOOLS/bare_core")")
done
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
column() { printf '%s\n' "${@:2}" | awk -v c="$1" '{ print $c }' | median; }
START_MS=$(column 1 "${torv_runs[@]}")
BARE_MS=$(column 1 "${bare_runs[@]}")
START_KB=$(column 2 "${torv_runs[@]}")
BARE_KB=$(column 2 "${bare_runs[@]}")
LIBS=$(column 3 "${torv_runs[@]}")
BARE_LIBS=$(column 3 "${bare_runs[@]}")
HEAVY=$(column 4 "${torv_runs[@]}")

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
awk -v t="$START_MS" -v b="$BARE_MS" -v tk="$START_KB" -v bk="$BARE_KB" 'BEGIN {
  printf "first line: console %.1f ms, bare Qt Core %.1f ms (%.2fx; medians of 9)\n", t, b, t / b
  printf "peak resident 1 s after start: console %.1f MB, bare Qt Core %.1f MB (+%.1f MB)\n", tk / 1024, bk / 1024, (tk - bk) / 1024 }'
echo "shared libraries mapped: console ${LIBS}, bare Qt Core ${BARE_LIBS}; libcurl or libcrypto mapped: $( ((HEAVY > 0)) && echo yes || echo no)"
echo "a whole short run (EXIT): ${RUN_WALL} ms wall, ${RUN_CPU} ms CPU (medians of 15); load: $(cut -d' ' -f1-3 /proc/loadavg)"
awk -v h="$HWM_KB" -v r="$RSS_KB" 'BEGIN { printf "peak resident memory: %.1f MB (now %.1f MB)\n", h / 1024, r / 1024 }'
awk -v a="$T0" -v b="$T1" -v hz="$HZ" 'BEGIN {
  cpu = (b - a) / hz
  printf "countdown: %.2f s of CPU over 25 s = %.3f %% of one core\n", cpu, 100 * cpu / 25 }'
