# Shared helpers of the Windows end-to-end tests: torv.exe from the unpacked
# zip in a temporary program folder, run by wine on the X server and in the
# wine prefix that scripts/test-windows set up (DISPLAY, WINEPREFIX).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../shell/e2e_common.sh"

PROGDIR="$1"   # the unpacked zip
MARKER="$2"    # marker.exe
WORK="$(mktemp -d /tmp/torv-e2e-win.XXXXXX)"
# Named with letters outside the ANSI code page: paths must reach the system
# whole, never through the code page.
PROG="$WORK/Zürich Łódź € prog"
XCHG="$WORK/Zürich Łódź € remote"
ARTIFACTS="${TORV_ARTIFACTS:-$WORK/artifacts}"
mkdir -p "$XCHG" "$ARTIFACTS"
cp -r "$PROGDIR" "$PROG"
cp "$MARKER" "$PROG/marker.exe"
# CreateProcessW looks in the program's own folder first: the system's
# shutdown is never reached, this recorder answers instead.
cp "$MARKER" "$PROG/shutdown.exe"
# The C locale keeps wine's ANSI code page single-byte (1252), so text run
# through it would show; UTF-8 as the character set lets wine name the
# folders above. A locale the machine lacks would stop wine starting.
export LANG=C.UTF-8 LC_ALL=C.UTF-8

TORV_PID=""
cleanup() {
  [[ -n "$TORV_PID" ]] && kill "$TORV_PID" 2>/dev/null && wait "$TORV_PID" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  screenshot "failure-$(basename "$0" .sh)" 2>/dev/null || true
  [[ -f "$XCHG/Result.txt" ]] && { echo "--- Result.txt:" >&2; cat "$XCHG/Result.txt" >&2; }
  exit 1
}

# A Unix path as wine's programs see it.
winpath() { printf 'Z:%s' "${1//\//\\}"; }

start_torv() {
  (cd "$WORK" && exec wine "$PROG/torv.exe" >"$WORK/torv.out" 2>&1) &
  TORV_PID=$!
  TORV_STARTED=$(date +%s.%N)
}

press_key() {
  xdotool windowactivate --sync "$1" 2>/dev/null || xdotool windowfocus "$1" 2>/dev/null || true
  xdotool key --window "$1" --clearmodifiers "$2"
}

screenshot() {
  import -window root "$ARTIFACTS/win-$1.png"
}

torv_running() {
  kill -0 "$TORV_PID" 2>/dev/null
}

# The time of a marker line's label, in seconds since the epoch.
marker_time() {
  [[ -f "$WORK/marks.txt" ]] || return 0
  awk -v l="$1" '$1 == l { printf "%.3f\n", $2 / 1000; exit }' "$WORK/marks.txt"
}
