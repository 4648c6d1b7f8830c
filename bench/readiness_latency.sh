#!/usr/bin/env bash
# How soon a task starts once what it waits for is there, and what the wait
# costs. Latency: the headless console (InitTime 1, CheckTime 1) waits with
# `before = tcp:127.0.0.1:PORT` for a port that opens at a random moment
# 2-3 s after start; the task's program notes when it started. Seven runs;
# goal: every start within 250 ms of the port opening, the median at most
# 150 ms. Cost: CPU time while a `ready` check waits 60 s on a closed port
# (tried every 100 ms, then every 250 ms); goal: at most 0.2 % of one core.
# Usage: bench/readiness_latency.sh [build/bin]
set -euo pipefail
BIN_DIR="${1:-$(cd "$(dirname "$0")/.." && pwd)/build/bin}"
RUNS="${RUNS:-7}"
COST_SECONDS="${COST_SECONDS:-60}"
WORK="$(mktemp -d /tmp/torv-bench.XXXXXX)"
PIDS=()
trap 'for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$WORK"' EXIT
mkdir -p "$WORK/prog" "$WORK/x"
cp "$BIN_DIR"/torv* "$WORK/prog/"
# Nothing here may shut the machine down.
mkdir -p "$WORK/fakebin" && printf '#!/bin/sh\nexit 0\n' >"$WORK/fakebin/shutdown" && chmod +x "$WORK/fakebin/shutdown"
export PATH="$WORK/fakebin:$PATH"
printf '#!/bin/sh\ndate +%%s.%%N >"%s/started"\n' "$WORK" >"$WORK/mark"
chmod +x "$WORK/mark"
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
config() { # task's command
  printf '%s\r\n' NORM "$WORK/x" "" 1 1 REMOTEOFF SOUNDOFF COMMENTSOFF "Waits" "$1" >"$WORK/prog/config.ini"
}

config "$WORK/mark"
LATENCIES=()
for ((run = 1; run <= RUNS; run++)); do
  PORT=$(free_port)
  rm -f "$WORK/started" "$WORK/opened"
  printf '[task 1]\nbefore = tcp:127.0.0.1:%s\ntimeout = 0\n' "$PORT" >"$WORK/prog/torv.ini"
  "$WORK/prog/torv" --headless >"$WORK/out" 2>&1 &
  PIDS=($!)
  # The port opens at a random moment, so that no phase of a tick is favoured.
  python3 - "$PORT" "$WORK/opened" <<'EOF' &
import random, socket, sys, time
time.sleep(2 + random.random())
s = socket.socket()
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.1", int(sys.argv[1])))
s.listen(16)
opened = time.time()
with open(sys.argv[2], "w") as f:
    f.write("%.6f\n" % opened)
time.sleep(30)
EOF
  PIDS+=($!)
  for ((i = 0; i < 100; i++)); do [[ -s "$WORK/started" ]] && break; sleep 0.1; done
  [[ -s "$WORK/started" ]] || { echo "the task did not start: $(cat "$WORK/out")" >&2; exit 1; }
  LATENCIES+=("$(awk -v a="$(cat "$WORK/opened")" -v b="$(cat "$WORK/started")" 'BEGIN { printf "%d", 1000 * (b - a) }')")
  for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
  PIDS=()
done
printf '%s\n' "${LATENCIES[@]}" | sort -n | awk '{ v[NR] = $1 } END {
  printf "start after the port opened, ms (%d runs): median %d, worst %d, all:", NR, v[int((NR + 1) / 2)], v[NR]
  for (i = 1; i <= NR; i++) printf " %d", v[i]
  printf "\n" }'

# The cost of waiting on a port that stays closed.
PORT=$(free_port)
config /bin/true
printf '[task 1]\nready = tcp:127.0.0.1:%s\ntimeout = 0\n' "$PORT" >"$WORK/prog/torv.ini"
"$WORK/prog/torv" --headless >"$WORK/out" 2>&1 &
PIDS=($!)
sleep 3 # start-up and the launch are not the wait
HZ=$(getconf CLK_TCK)
T0=$(awk '{ print $14 + $15 }' "/proc/${PIDS[0]}/stat")
sleep "$COST_SECONDS"
T1=$(awk '{ print $14 + $15 }' "/proc/${PIDS[0]}/stat")
grep -q "Waiting For: tcp:" "$WORK/out" || { echo "the check did not wait: $(cat "$WORK/out")" >&2; exit 1; }
awk -v a="$T0" -v b="$T1" -v hz="$HZ" -v s="$COST_SECONDS" 'BEGIN {
  cpu = (b - a) / hz
  printf "waiting on a closed port: %.2f s of CPU over %d s = %.3f %% of one core\n", cpu, s, 100 * cpu / s }'
