#!/usr/bin/env bash
# How closely the real console keeps its launch schedule. Twenty tasks with
# CheckTime 2 are launched 1 s apart (a wait of N seconds ends N - 1 s after it
# began); each task writes a time mark the moment it starts. Prints every
# launch's deviation from its schedule, the gaps between launches, the worst of
# each, and the drift. The schedule is one launch a second at a phase the bench
# cannot see (the console's own start of the wait); it is taken as the median
# of the launches' offsets, so that one late launch, the first included, does
# not shift the others. The worst deviation from the first launch plus 1 s per
# task is printed too. The drift is how much later the last five launches come
# than the first five (medians). Target: every launch within +-5 ms of the
# schedule on an idle machine, with no drift.
# On a busy machine TORV_BENCH_RT=1 runs the X server and the console (and so
# its tasks) at a real-time priority: what the console does when it has the CPU.
# Usage: [SOUNDS=SOUNDOFF] [TORV_BENCH_RT=1] bench/launch_timing.sh [build/bin] [runs, default 3]
set -euo pipefail
BIN_DIR="${1:-$(cd "$(dirname "$0")/.." && pwd)/build/bin}"
RUNS="${2:-3}"
TASKS=20
WORK="$(mktemp -d /tmp/torv-bench.XXXXXX)"
XVFB="" TORV=""
trap 'for p in $TORV $XVFB; do kill "$p" 2>/dev/null || true; done; rm -rf "$WORK"' EXIT
mkdir -p "$WORK/prog" "$WORK/x" "$WORK/fakebin" "$WORK/runtime"
chmod 700 "$WORK/runtime"
cp "$BIN_DIR"/torv* "$BIN_DIR"/*.wav "$WORK/prog/"
# Nothing here may reach the real shutdown: a recorder stands first on PATH.
printf '#!/bin/sh\necho "$@" >> "%s/shutdown.log"\n' "$WORK" >"$WORK/fakebin/shutdown"
chmod +x "$WORK/fakebin/shutdown"
export PATH="$WORK/fakebin:$PATH" XDG_RUNTIME_DIR="$WORK/runtime" LANG=C LC_ALL=C

# The mark is taken by a compiled task (build/bench/launch_mark) the moment it
# starts: the same short time after every launch. A shell script's own
# start-up scatters by a few milliseconds, so one is used only without it.
MARK_BIN="$BIN_DIR/../bench/launch_mark"
if [[ -x "$MARK_BIN" ]]; then
  cp "$MARK_BIN" "$WORK/mark"
else
  echo "no $MARK_BIN: marking with a bash script, a few ms less exact" >&2
  printf '#!/bin/bash\nprintf "%%s %%s\\n" "$1" "$EPOCHREALTIME" >>"$2"\n' >"$WORK/mark"
  chmod +x "$WORK/mark"
fi

mkfifo "$WORK/fd"
RT=()
[[ "${TORV_BENCH_RT:-0}" == 1 ]] && RT=(chrt -f 10)
"${RT[@]}" Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$WORK/fd" >/dev/null 2>&1 &
XVFB=$!
read -r N <"$WORK/fd"
export DISPLAY=":$N"

echo "load before the runs: $(uptime | sed 's/.*load average: //')"
worst_all=0 gap_all=0 drifts=()
for ((run = 1; run <= RUNS; run++)); do
  MARKS="$WORK/marks$run"
  : >"$MARKS"
  {
    printf '%s\r\n' EXIT "$WORK/x" "" 2 2 REMOTEOFF "${SOUNDS:-SOUNDON}" COMMENTSOFF
    for ((k = 1; k <= TASKS; k++)); do printf 'Task %s\r\n%s %s %s\r\n' "$k" "$WORK/mark" "$k" "$MARKS"; done
  } >"$WORK/prog/config.ini"
  "${RT[@]}" "$WORK/prog/torv" >"$WORK/torv.out" 2>&1 &
  TORV=$!
  # InitTime 2 and the tasks 1 s apart, and start-up.
  for ((i = 0; i < (TASKS + 8) * 10; i++)); do
    [[ $(wc -l <"$MARKS") -ge $TASKS ]] && break
    sleep 0.1
  done
  wait "$TORV" 2>/dev/null || true
  TORV=""
  [[ $(wc -l <"$MARKS") -ge $TASKS ]] || {
    echo "run $run: only $(wc -l <"$MARKS") of $TASKS tasks ran" >&2
    cat "$WORK/torv.out" >&2
    exit 1
  }
  read -r worst gap drift fromfirst < <(sort -n -k1,1 "$MARKS" | awk -v run="$run" '
    function median(a, from, to,    n, i, j, v, s) {
      n = 0
      for (i = from; i <= to; i++) s[++n] = a[i]
      for (i = 2; i <= n; i++) { v = s[i]; for (j = i - 1; j >= 1 && s[j] > v; j--) s[j + 1] = s[j]; s[j + 1] = v }
      return n % 2 ? s[(n + 1) / 2] : (s[n / 2] + s[n / 2 + 1]) / 2
    }
    function abs(x) { return x < 0 ? -x : x }
    { t[NR] = $2; o[NR] = $2 - (NR - 1) }
    END {
      phase = median(o, 1, NR)
      worst = 0; first = 0; gapworst = 0; line = ""; gaps = ""
      for (k = 1; k <= NR; k++) {
        d = (o[k] - phase) * 1000
        line = line sprintf(" %+.1f", d)
        if (abs(d) > worst) worst = abs(d)
        if (abs(o[k] - o[1]) * 1000 > first) first = abs(o[k] - o[1]) * 1000
        if (k > 1) {
          g = (t[k] - t[k - 1]) * 1000
          gaps = gaps sprintf(" %.1f", g)
          if (abs(g - 1000) > gapworst) gapworst = abs(g - 1000)
        }
      }
      printf "run %d: deviation from schedule (ms):%s; gaps (ms):%s\n", run, line, gaps > "/dev/stderr"
      print worst, gapworst, (median(o, NR - 4, NR) - median(o, 1, 5)) * 1000, first
    }')
  first_all=$(awk -v a="${first_all:-0}" -v b="$fromfirst" 'BEGIN { print (b > a ? b : a) }')
  worst_all=$(awk -v a="$worst_all" -v b="$worst" 'BEGIN { print (b > a ? b : a) }')
  gap_all=$(awk -v a="$gap_all" -v b="$gap" 'BEGIN { print (b > a ? b : a) }')
  drifts+=("$drift")
done
[[ ! -e "$WORK/shutdown.log" ]] || {
  echo "shutdown was run" >&2
  exit 1
}
echo "load after the runs: $(uptime | sed 's/.*load average: //')"
printf 'launch timing over %d runs of %d launches: worst deviation of a launch from its schedule %.1f ms (target: 5 ms); worst gap off 1 s by %.1f ms; worst off the first launch plus 1 s a task %.1f ms\n' "$RUNS" "$TASKS" "$worst_all" "$gap_all" "$first_all"
printf 'drift, the last five launches against the first five (ms):' 
printf ' %+.1f' "${drifts[@]}"
echo
