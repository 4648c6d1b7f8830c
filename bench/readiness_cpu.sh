#!/usr/bin/env bash
# CPU time the headless console uses while a readiness check waits: one
# `ready` check of each kind that costs nothing to try (tcp to a closed port,
# http to a closed port, a path that never appears), 30 s each. Goal: at most
# 0.2 % of one core. A `command:` check costs what its program costs and is
# not measured here. The tcp and path checks are tried every 100 ms for the
# first 10 s of the wait and every 250 ms after it, the http check once a
# second, the console's own 1 s tick included (the clock counts in hundredths
# of a second, so small figures are coarse). bench/readiness_latency.sh
# measures the 60 s figure of a closed port alone.
# Usage: bench/readiness_cpu.sh [build/bin]
set -euo pipefail
BIN_DIR="${1:-$(cd "$(dirname "$0")/.." && pwd)/build/bin}"
WORK="$(mktemp -d /tmp/torv-bench.XXXXXX)"
TORV=""
trap '[[ -n "$TORV" ]] && kill "$TORV" 2>/dev/null; rm -rf "$WORK"' EXIT
mkdir -p "$WORK/prog" "$WORK/x"
cp "$BIN_DIR"/torv* "$WORK/prog/"
# A port nobody listens on: bound, then closed.
PORT=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])' 2>/dev/null ||
  echo 9)
HZ=$(getconf CLK_TCK)
for check in "tcp:127.0.0.1:$PORT" "http://127.0.0.1:$PORT/health" "path:$WORK/never"; do
  printf '%s\r\n' NORM "$WORK/x" "" 1 1 REMOTEOFF SOUNDOFF COMMENTSOFF "Waits" "/bin/true" >"$WORK/prog/config.ini"
  printf '[task 1]\nready = %s\ntimeout = 0\n' "$check" >"$WORK/prog/torv.ini"
  "$WORK/prog/torv" --headless >"$WORK/out" 2>&1 &
  TORV=$!
  sleep 3 # start-up and the launch are not the wait
  T0=$(awk '{ print $14 + $15 }' "/proc/$TORV/stat")
  sleep 30
  T1=$(awk '{ print $14 + $15 }' "/proc/$TORV/stat")
  kill "$TORV"
  wait "$TORV" 2>/dev/null || true
  TORV=""
  grep -q "Waiting For: $check" "$WORK/out" || { echo "the check did not wait: $(cat "$WORK/out")" >&2; exit 1; }
  awk -v a="$T0" -v b="$T1" -v hz="$HZ" -v c="${check%%:*}" 'BEGIN {
    cpu = (b - a) / hz
    printf "%-5s check waiting: %.2f s of CPU over 30 s = %.3f %% of one core, %.2f ms a second\n",
      c, cpu, 100 * cpu / 30, 1000 * cpu / 30 }'
done
