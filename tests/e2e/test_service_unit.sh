#!/usr/bin/env bash
# The systemd unit: systemd-analyze verify finds nothing to say about it (with
# ExecStart pointed at the built binary, which verify wants to exist), and it
# keeps the promises the service relies on; so does the unit that
# torv --service install writes for a folder install.
set -euo pipefail
BIN_DIR="$1"
UNIT="$(cd "$(dirname "$0")/../.." && pwd)/packaging/torv.service"
WORK="$(mktemp -d /tmp/torv-unit.XXXXXX)"
trap 'rm -rf "$WORK"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
command -v systemd-analyze >/dev/null || fail "no systemd-analyze (scripts/deps.sh installs systemd)"

grep -qx 'ExecStart=/opt/torv/torv --headless' "$UNIT" || fail "ExecStart is not /opt/torv/torv --headless"
sed "s|^ExecStart=/opt/torv/torv |ExecStart=$BIN_DIR/torv |" "$UNIT" >"$WORK/torv.service"

# verify says what it dislikes but still ends with 0: any word is a failure.
verify() { systemd-analyze verify "$1" 2>&1 || echo "(status $?)"; }
SAID="$(verify "$WORK/torv.service")"
[[ -z "$SAID" ]] || fail "systemd-analyze verify: $SAID"
# ... and it does look: a wrong value in a copy is reported.
sed 's/^Restart=on-failure/Restart=sometimes/' "$WORK/torv.service" >"$WORK/broken.service"
[[ -n "$(verify "$WORK/broken.service")" ]] || fail "verify reports nothing about a broken unit"

# The service's own settings, as systemd reads them.
value() { sed -n "s/^$1=//p" "$UNIT"; }
[[ "$(value User)" == torv && "$(value Group)" == torv ]] || fail "not the dedicated user torv"
[[ "$(value Type)" == notify ]] || fail "Type=$(value Type)"
[[ "$(value Restart)" == on-failure ]] || fail "Restart=$(value Restart)"
[[ "$(value RestartPreventExitStatus)" == "2 3" ]] || fail "RestartPreventExitStatus=$(value RestartPreventExitStatus)"
[[ "$(value KillMode)" == process ]] || fail "stopping the service would kill the tasks it launched"
# sudo (setuid) must keep working for shutdown: nothing that sets or implies
# no_new_privs for a service without CAP_SYS_ADMIN.
BAD="$(grep -E '^(NoNewPrivileges=yes|SystemCallFilter|SystemCallArchitectures|RestrictAddressFamilies|RestrictNamespaces|PrivateDevices|ProtectKernel|ProtectClock|MemoryDenyWriteExecute|RestrictRealtime|RestrictSUIDSGID|LockPersonality|DynamicUser|CapabilityBoundingSet)' "$UNIT" || true)"
[[ -z "$BAD" ]] || fail "these would stop sudo and with it shutdown: $BAD"
[[ -z "$(value WantedBy | grep -v multi-user.target)" ]] || fail "unexpected WantedBy"

# --- A folder install whose name systemd would otherwise read as a space, a
# specifier and a variable; the unit goes into a folder of our own, and a
# recording systemctl stands first on PATH.
DIR="$WORK/my torv %i \$x"
mkdir -p "$DIR" "$WORK/units" "$WORK/fakebin"
cp "$BIN_DIR/torv" "$DIR/"
cat >"$WORK/fakebin/systemctl" <<FAKE
#!/bin/sh
echo "\$*" >>"$WORK/systemctl.log"
[ "\$1" != is-active ] && exit 0
cat "$WORK/state" && [ "\$(cat "$WORK/state")" = active ] || exit 3
FAKE
chmod +x "$WORK/fakebin/systemctl"
export PATH="$WORK/fakebin:$PATH" TORV_SYSTEMD_UNIT_DIR="$WORK/units"
svc() { "$DIR/torv" --service "$@" --name web.1; }
WRITTEN="$WORK/units/torv-web.1.service"
svc install --user-name daemon >"$WORK/install.out" || fail "install ended with $?"
SAID="$(verify "$WRITTEN")"
[[ -z "$SAID" ]] || fail "systemd-analyze verify of the written unit: $SAID"
grep -qx 'Type=notify' "$WRITTEN" && grep -qx 'User=daemon' "$WRITTEN" || fail "$(cat "$WRITTEN")"
# status and the rest: the words and exit statuses the Windows service uses.
expect_status() {
  local want="$1" word="$2" got=0
  shift 2
  OUT="$(svc "$@")" || got=$?
  [[ "$got" == "$want" && "$OUT" == "$word"* ]] || fail "--service $*: status $got, said '$OUT'"
}
echo inactive >"$WORK/state"
expect_status 3 stopped status
echo active >"$WORK/state"
expect_status 0 running status
expect_status 0 started start
expect_status 0 stopped stop
expect_status 2 "" restart
expect_status 2 "" status --manual
# The Windows service manager's own call is no way to start it here.
got=0
"$DIR/torv" --service-run web.1 2>/dev/null || got=$?
((got == 2)) || fail "--service-run on Linux ended with $got"
expect_status 0 uninstalled uninstall
[[ ! -e "$WRITTEN" ]] || fail "uninstall left the unit"
expect_status 4 not-installed status
expect_status 4 "" start
grep -qx 'start torv-web.1.service' "$WORK/systemctl.log" && grep -qx 'stop torv-web.1.service' "$WORK/systemctl.log" ||
  fail "systemctl was asked: $(cat "$WORK/systemctl.log")"
echo PASS
