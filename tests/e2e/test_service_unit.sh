#!/usr/bin/env bash
# The systemd unit: systemd-analyze verify finds nothing to say about it (with
# ExecStart pointed at the built binary, which verify wants to exist), and it
# keeps the promises the service relies on.
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
[[ "$(value Restart)" == on-failure ]] || fail "Restart=$(value Restart)"
[[ "$(value RestartPreventExitStatus)" == "2 3" ]] || fail "RestartPreventExitStatus=$(value RestartPreventExitStatus)"
[[ "$(value KillMode)" == process ]] || fail "stopping the service would kill the tasks it launched"
# sudo (setuid) must keep working for shutdown: nothing that sets or implies
# no_new_privs for a service without CAP_SYS_ADMIN.
BAD="$(grep -E '^(NoNewPrivileges=yes|SystemCallFilter|SystemCallArchitectures|RestrictAddressFamilies|RestrictNamespaces|PrivateDevices|ProtectKernel|ProtectClock|MemoryDenyWriteExecute|RestrictRealtime|RestrictSUIDSGID|LockPersonality|DynamicUser|CapabilityBoundingSet)' "$UNIT" || true)"
[[ -z "$BAD" ]] || fail "these would stop sudo and with it shutdown: $BAD"
[[ -z "$(value WantedBy | grep -v multi-user.target)" ]] || fail "unexpected WantedBy"
echo PASS
