#!/usr/bin/env bash
# CPU time the real console uses while it counts down 30 s under Xvfb.
# Target: well under 1 % of one core. Usage: bench/countdown_cpu.sh [build/bin]
set -euo pipefail
BIN_DIR="${1:-$(cd "$(dirname "$0")/.." && pwd)/build/bin}"
WORK="$(mktemp -d /tmp/torv-bench.XXXXXX)"
trap 'kill $TORV $XVFB 2>/dev/null || true; rm -rf "$WORK"' EXIT
mkdir -p "$WORK/prog" "$WORK/x"
cp "$BIN_DIR"/torv* "$BIN_DIR"/*.wav "$WORK/prog/"
printf '%s\r\n' NORM "$WORK/x" "" 30 10 REMOTEOFF SOUNDOFF COMMENTSOFF >"$WORK/prog/config.ini"
mkfifo "$WORK/fd"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$WORK/fd" >/dev/null 2>&1 &
XVFB=$!
read -r N <"$WORK/fd"
export DISPLAY=":$N" XDG_RUNTIME_DIR="$WORK"
"$WORK/prog/torv" >/dev/null 2>&1 &
TORV=$!
ticks() { awk '{ print $14 + $15 }' "/proc/$TORV/stat"; }
sleep 3 # start-up itself is not the countdown
T0=$(ticks)
sleep 25
T1=$(ticks)
HZ=$(getconf CLK_TCK)
awk -v a="$T0" -v b="$T1" -v hz="$HZ" 'BEGIN {
  cpu = (b - a) / hz
  printf "countdown: %.2f s of CPU over 25 s = %.2f %% of one core\n", cpu, 100 * cpu / 25 }'
