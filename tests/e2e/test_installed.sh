#!/usr/bin/env bash
# The installed program: checks the layout of an installed tree and runs the
# installed binary from it (the program folder made writable, as the manual
# asks): a task script writes a marker, REMOTEOFF, EXIT.
#
#   test_installed.sh ROOT [PACKAGE.deb]   ROOT: a tree unpacked with dpkg -x
#   test_installed.sh BUILD/bin            (ctest) installs that build first
set -euo pipefail

ARG="$1"
DEB="${2:-}"
SCRATCH="$(mktemp -d /tmp/torv-installed.XXXXXX)"
if [[ -x "$ARG/opt/torv/torv" ]]; then
  ROOT="$ARG"
elif [[ -f "$ARG/../CMakeCache.txt" ]]; then
  # A build folder: install it the way the package does, into a scratch root.
  ROOT="$SCRATCH/root"
  DESTDIR="$ROOT" cmake --install "$ARG/.." --prefix /opt/torv >"$SCRATCH/install.log" 2>&1 ||
    { cat "$SCRATCH/install.log" >&2; echo "FAIL: cmake --install failed" >&2; exit 1; }
else
  echo "FAIL: $ARG is neither an unpacked package nor a build's bin folder" >&2
  exit 1
fi
APP="$ROOT/opt/torv"

# lib.sh brings the private X server, the fake shutdown and the helpers.
source "$(dirname "$0")/lib.sh" "$APP"
trap 'cleanup; rm -rf "$SCRATCH"' EXIT

# --- Layout ---------------------------------------------------------------
[[ -x "$APP/torv" ]] || fail "no executable torv"
# The modules loaded on first use; only the web one may bring libcurl, only
# the crypto one libcrypto, and the program neither.
for m in window web crypto; do
  [[ -f "$APP/torv-$m.so" ]] || fail "missing module torv-$m.so"
done
ldd "$APP/torv-web.so" | grep libcurl >/dev/null || fail "torv-web.so does not bring libcurl"
ldd "$APP/torv-crypto.so" | grep libcrypto >/dev/null || fail "torv-crypto.so does not bring libcrypto"
! ldd "$APP/torv" | grep -E 'libcurl|libcrypto' >&2 || fail "torv itself loads libcurl or libcrypto"
for cue in START done complete failure finished shutdown relay command; do
  f="$APP/$cue.wav"
  [[ -s "$f" ]] || fail "missing cue $cue.wav"
  # The cues are 16-bit PCM WAV files; the header says so at fixed places.
  [[ "$(head -c 4 "$f")" == RIFF && "$(dd if="$f" bs=1 skip=8 count=4 2>/dev/null)" == WAVE ]] ||
    fail "$cue.wav is not a WAV file"
  [[ "$(od -An -tu2 -j20 -N2 "$f" | tr -d ' ')" == 1 && "$(od -An -tu2 -j34 -N2 "$f" | tr -d ' ')" == 16 ]] ||
    fail "$cue.wav is not 16-bit PCM"
done
for png in "$APP/torv.png" "$ROOT/usr/share/icons/hicolor/48x48/apps/torv.png"; do
  file -b "$png" | grep -q '^PNG image data, 48 x 48' || fail "$png is not a 48x48 PNG: $(file -b "$png")"
done
cmp -s "$APP/torv.png" "$ROOT/usr/share/icons/hicolor/48x48/apps/torv.png" || fail "the two icons differ"

EXAMPLE="$APP/config.ini.example"
[[ -s "$EXAMPLE" ]] || fail "no config.ini.example"
[[ "$(tr -cd '\n' <"$EXAMPLE" | wc -c)" -eq "$(tr -cd '\r' <"$EXAMPLE" | wc -c)" ]] &&
  ! grep -qv $'\r$' "$EXAMPLE" || fail "config.ini.example does not end every line in CR LF"
(($(wc -l <"$EXAMPLE") >= 8)) || fail "config.ini.example has fewer than the eight settings"
# The opt-in file's example, never the file itself: an upgrade keeps the administrator's.
grep -q '^\[task 1\]' "$APP/torv.ini.example" || fail "no torv.ini.example with a task section"
[[ ! -e "$APP/torv.ini" ]] || fail "the package ships torv.ini"

for entry in "$ROOT/usr/share/applications/torv.desktop" "$APP/autostart/torv.desktop"; do
  [[ -f "$entry" ]] || fail "missing $entry"
  grep -qx 'Exec=/opt/torv/torv' "$entry" || fail "$entry does not start /opt/torv/torv"
  grep -qx 'Icon=torv' "$entry" || fail "$entry names another icon"
  if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$entry" || fail "$entry is not a valid desktop entry"
  fi
done
# The autostart entry must stay inactive until the administrator copies it.
[[ ! -e "$ROOT/etc/xdg/autostart/torv.desktop" ]] || fail "the autostart entry is active on install"

if [[ -n "$DEB" ]]; then
  [[ "$(dpkg-deb -f "$DEB" Package)" == torv ]] || fail "package name"
  DEPENDS="$(dpkg-deb -f "$DEB" Depends)"
  for p in libqt6widgets6 libqt6multimedia6 libqt6gui6 libqt6core6 xdg-utils libssl3; do
    grep -q "\b$p\b" <<<"$DEPENDS" || fail "Depends lacks $p: $DEPENDS"
  done
  # Every file of the package lies under /opt/torv or /usr/share, but the unit.
  BAD="$(dpkg-deb -c "$DEB" | awk '{ print $6 }' | grep -v -e '^\./$' -e '^\./opt/' -e '^\./usr/$' -e '^\./usr/share/' \
    -e '^\./lib/$' -e '^\./lib/systemd/$' -e '^\./lib/systemd/system/$' -e '^\./lib/systemd/system/torv\.service$' || true)"
  [[ -z "$BAD" ]] || fail "files outside /opt/torv and /usr/share: $BAD"
  # The postinst only creates the service's user; nothing is enabled.
  dpkg-deb -I "$DEB" postinst >"$SCRATCH/postinst" || fail "no postinst"
  sh -n "$SCRATCH/postinst" || fail "the postinst is not a valid shell script"
  grep -q 'adduser --system --group --home /var/lib/torv' "$SCRATCH/postinst" || fail "the postinst makes no user torv"
  ! grep -qE 'systemctl +(enable|start)|deb-systemd-helper' "$SCRATCH/postinst" || fail "the postinst enables the service"
fi

cmp -s "$ROOT/lib/systemd/system/torv.service" "$(dirname "$0")/../../packaging/torv.service" ||
  fail "the unit is not installed as /lib/systemd/system/torv.service"
[[ ! -e "$ROOT/etc/systemd/system/multi-user.target.wants/torv.service" ]] || fail "the service is enabled on install"

MISSING="$(ldd "$APP/torv" "$APP/torv-window.so" | grep 'not found' || true)"
[[ -z "$MISSING" ]] || fail "unresolved libraries: $MISSING"

# --- Run the installed binary in place -------------------------------------
# The unpacked program folder belongs to us, so it is writable as the manual
# asks; PROG points lib.sh's helpers at it.
PROG="$APP"
cat >"$WORK/task.sh" <<SCRIPT
#!/bin/sh
echo "ran from \$(pwd)" > "$WORK/marker"
SCRIPT
chmod +x "$WORK/task.sh"
write_config EXIT "$XCHG" "" 3 1 REMOTEOFF SOUNDOFF COMMENTSOFF "Write the marker" "$WORK/task.sh"
EXAMPLE_BEFORE="$(md5sum <"$EXAMPLE")"

start_xvfb
start_torv
wait_for '[[ -n "$(window_named "^TORV   ")" ]] || ! torv_running' 20 ||
  fail "no console window from the installed binary: $(cat "$WORK/torv.out")"
wait_for '! torv_running' 20 || fail "the installed program did not end after the sequence (EXIT)"
grep -q . "$WORK/torv.out" && echo "torv said: $(cat "$WORK/torv.out")"
TORV_PID=""

[[ -s "$WORK/marker" ]] || fail "the task did not run"
RESULT="$XCHG/Result.txt"
[[ -f "$RESULT" ]] || fail "no Result.txt"
mapfile -t LINES < <(sed 's/\r$//' "$RESULT")
EXPECTED=("Seuquence Init" "Starting Application Execution:*" "Write the marker" "Command Interface Inactive" "")
((${#LINES[@]} == ${#EXPECTED[@]})) || fail "Result.txt has ${#LINES[@]} lines: ${LINES[*]}"
for i in "${!EXPECTED[@]}"; do
  # shellcheck disable=SC2053
  [[ "${LINES[$i]}" == ${EXPECTED[$i]} ]] || fail "Result.txt line $i is '${LINES[$i]}', expected '${EXPECTED[$i]}'"
done
[[ "$(md5sum <"$EXAMPLE")" == "$EXAMPLE_BEFORE" ]] || fail "config.ini.example was changed"
[[ ! -e "$WORK/shutdown.log" ]] || fail "shutdown was run"
echo "PASS"
