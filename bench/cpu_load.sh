#!/bin/sh
# Checks the CPU usage component against a known load: a few idle readings, then
# readings while one thread spins. On a machine with N cores one busy thread
# should read about 100/N percent above the idle level.
# Usage: bench/cpu_load.sh [build-dir]
set -eu
build=${1:-build}
bench="$build/bench/cpuuse_bench"
[ -x "$bench" ] || { echo "no $bench; build the cpuuse_bench target first" >&2; exit 1; }

cores=$(getconf _NPROCESSORS_ONLN)
echo "cores: $cores (one busy thread is about $((100 / cores)) %)"

echo "--- idle"
"$bench" --sample 3

sh -c 'while :; do :; done' &
spinner=$!
trap 'kill "$spinner" 2>/dev/null || true' EXIT INT TERM
echo "--- one busy thread (pid $spinner)"
"$bench" --sample 10
