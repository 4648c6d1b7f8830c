# Shared helpers of the end-to-end tests: a temporary program folder with the
# real binary, a private X server, a fake shutdown first on PATH.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../shell/e2e_common.sh"

BIN_DIR="$1"
WORK="$(mktemp -d /tmp/torv-e2e.XXXXXX)"
PROG="$WORK/prog"
XCHG="$WORK/exchange"
ARTIFACTS="${TORV_ARTIFACTS:-$WORK/artifacts}"
mkdir -p "$PROG" "$XCHG" "$ARTIFACTS" "$WORK/fakebin"
cp "$BIN_DIR"/torv* "$BIN_DIR"/*.wav "$PROG/"

# No test may ever reach the real shutdown: a recorder stands first on PATH.
cat >"$WORK/fakebin/shutdown" <<FAKE
#!/bin/sh
echo "\$@" >> "$WORK/shutdown.log"
FAKE
chmod +x "$WORK/fakebin/shutdown"
export PATH="$WORK/fakebin:$PATH"
export XDG_RUNTIME_DIR="$WORK/runtime"
mkdir -p "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
export LANG=C LC_ALL=C

XVFB_PID=""
TORV_PID=""
cleanup() {
  local pid
  for pid in "$TORV_PID" "${TRAYER_PID:-}" "$XVFB_PID"; do
    [[ -n "$pid" ]] && kill "$pid" 2>/dev/null || true
  done
  # Wait for the X server to be gone: one still shutting down removes its
  # socket file after the next test's server has made its own under that name.
  for pid in "$TORV_PID" "${TRAYER_PID:-}" "$XVFB_PID"; do
    [[ -n "$pid" ]] && wait "$pid" 2>/dev/null || true
  done
  rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  if [[ -s "$WORK/torv.out" ]]; then
    echo "--- the console's output:" >&2
    tail -20 "$WORK/torv.out" >&2
  fi
  if [[ -s "$WORK/xvfb.log" ]]; then
    echo "--- the X server's output (display $DISPLAY):" >&2
    tail -20 "$WORK/xvfb.log" >&2
  fi
  exit 1
}

start_xvfb() {
  local fifo="$WORK/displayfd"
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$fifo" >"$WORK/xvfb.log" 2>&1 &
  XVFB_PID=$!
  local n
  read -r n <"$fifo"
  export DISPLAY=":$n"
  # Without -noreset the server would reset when this probe disconnects.
  wait_for 'xdpyinfo >/dev/null 2>&1' 10 || fail "the X server on $DISPLAY does not answer"
}

start_torv() {
  local attempt
  for attempt in 1 2; do
    (cd "$WORK" && exec "$PROG/torv" >"$WORK/torv.out" 2>&1) &
    TORV_PID=$!
    TORV_STARTED=$(date +%s.%N)
    # An X server that resets when its last client leaves refuses clients
    # while it does (the server runs with -noreset for that reason). Should a
    # start still find it unreachable, that is the harness, not the console:
    # try once more and say so.
    sleep 1
    if ! kill -0 "$TORV_PID" 2>/dev/null && grep -q "could not connect to display" "$WORK/torv.out"; then
      echo "note: the console could not reach $DISPLAY (attempt $attempt); X sockets:" >&2
      ls -la /tmp/.X11-unix >&2 || true
      wait_for 'xdpyinfo >/dev/null 2>&1' 5 || fail "the X server on $DISPLAY went away"
      continue
    fi
    return 0
  done
  fail "the console could not reach the X server on $DISPLAY"
}

# Presses a key in a window (no window manager: focus it directly).
press_key() {
  xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1"
  xdotool key --clearmodifiers "$2"
}

screenshot() {
  import -window root "$ARTIFACTS/$1.png"
}

torv_running() {
  kill -0 "$TORV_PID" 2>/dev/null && ! grep -q '^State:.*Z' "/proc/$TORV_PID/status" 2>/dev/null
}

TRAYER_PID=""
start_trayer() {
  trayer --edge top --align right --widthtype request --height 32 >/dev/null 2>&1 &
  TRAYER_PID=$!
  wait_for 'xwininfo -root -tree | grep -q "\"panel\""' 10 || fail "no tray panel"
}

# Number of torv icons docked in the tray panel.
tray_icons() {
  xwininfo -root -tree 2>/dev/null | awk '/"panel"/ { inpanel = 1; next } inpanel && /"torv": \("torv"/ { n++ } inpanel && /^     0x/ { inpanel = 0 } END { print n + 0 }'
}

# Screen position of the first torv icon's centre.
tray_icon_centre() {
  xwininfo -root -tree 2>/dev/null | awk '/"panel"/ { inpanel = 1; next }
    inpanel && /"torv": \("torv"/ {
      for (i = 1; i <= NF; i++) if ($i ~ /^[0-9]+x[0-9]+\+/) geo = $i
      split(geo, g, /[x+]/); split($NF, p, "+")
      print p[2] + int(g[1] / 2), p[3] + int(g[2] / 2); exit }'
}
