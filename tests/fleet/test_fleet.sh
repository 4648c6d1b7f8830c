#!/usr/bin/env bash
# The Ansible collection against three "hosts" on this machine, reached as real
# ones are: over SSH, each host its own sshd on its own loopback address and
# port with key login, and its own program and remote folder under a
# temporary folder. The role configures all three (a second run changes
# nothing, no key shows in the output); then, with a headless console started
# on each, torv.fleet.command brings back three verified logs, runs a command
# line on one host and "off" (a fake shutdown) on another; a host whose
# console is stopped fails alone after its timeout, and a forged answer is
# refused. A validation step with --check-config keeps a damaged config.ini out.
set -euo pipefail
BIN_DIR="$(cd "$1" && pwd)"
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
source "$ROOT/tests/shell/e2e_common.sh"
WORK="$(mktemp -d /tmp/torv-fleet.XXXXXX)"
HOSTS=(h1 h2 h3)
PIDS=()
cleanup() {
  local pid
  for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$WORK"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  for h in "${HOSTS[@]}"; do
    [[ -s "$WORK/$h/torv.out" ]] && { echo "--- $h's console:" >&2; tail -5 "$WORK/$h/torv.out" >&2; }
  done
  exit 1
}

# No test may reach the real shutdown: a recorder stands first on PATH.
mkdir -p "$WORK/fakebin" "$WORK/source"
printf '#!/bin/sh\necho "$@" >> "%s/shutdown.log"\n' "$WORK" >"$WORK/fakebin/shutdown"
chmod +x "$WORK/fakebin/shutdown"
export PATH="$WORK/fakebin:$PATH" LANG=C.UTF-8 LC_ALL=C.UTF-8
# The unpacked program folder the role copies: the binary, its module, the cues.
cp "$BIN_DIR"/torv "$BIN_DIR"/torv-*.so "$BIN_DIR"/*.wav "$WORK/source/"

# --- three sshd, each on 127.0.0.N and a free port -------------------------
# sshd as root needs its privilege separation folder, which the package
# creates only at boot (tmpfiles); an empty folder, made only when missing.
[[ $(id -u) -ne 0 || -d /run/sshd ]] || install -d -m 755 /run/sshd
ssh-keygen -q -t ed25519 -N '' -f "$WORK/host_key"
ssh-keygen -q -t ed25519 -N '' -f "$WORK/client_key"
cp "$WORK/client_key.pub" "$WORK/authorized_keys"
free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
n=0
for h in "${HOSTS[@]}"; do
  n=$((n + 1))
  port=$(free_port)
  mkdir -p "$WORK/$h/tmp"
  cat >"$WORK/$h/sshd_config" <<CONF
ListenAddress 127.0.0.$n:$port
HostKey $WORK/host_key
PidFile none
AuthorizedKeysFile $WORK/authorized_keys
StrictModes no
PubkeyAuthentication yes
PasswordAuthentication no
KbdInteractiveAuthentication no
PermitRootLogin prohibit-password
UsePAM no
Subsystem sftp internal-sftp
CONF
  /usr/sbin/sshd -D -e -f "$WORK/$h/sshd_config" 2>"$WORK/$h/sshd.log" &
  PIDS+=($!)
  echo "$h ansible_host=127.0.0.$n ansible_port=$port torv_program_folder=$WORK/$h/prog torv_remote_folder=$WORK/$h/exchange ansible_remote_tmp=$WORK/$h/tmp" >>"$WORK/hosts.ini"
  wait_for "(echo > /dev/tcp/127.0.0.$n/$port) 2>/dev/null" 10 || fail "sshd for $h does not listen: $(cat "$WORK/$h/sshd.log")"
done
MASTER=$(openssl rand -hex 32)
cat >>"$WORK/hosts.ini" <<INV
[all:vars]
ansible_user=$(id -un)
ansible_ssh_private_key_file=$WORK/client_key
ansible_ssh_common_args='-F /dev/null -o UserKnownHostsFile=/dev/null -o StrictHostKeyChecking=no -o LogLevel=ERROR'
ansible_python_interpreter=/usr/bin/python3
torv_install=folder
torv_folder_source=$WORK/source
torv_mode=none
torv_user=$(id -un)
torv_remote_group=$(id -gn)
torv_create_user=false
torv_master_key=$MASTER
torv_start_delay=1
torv_task_delay=1
INV
cat >"$WORK/site.yml" <<'PLAY'
- name: TORV on every host
  hosts: all
  gather_facts: false
  roles:
    - role: torv.fleet.console
      vars:
        torv_tasks:
          - description: "Marker, first"
            command: "touch {{ torv_remote_folder }}/../marker"
            checks: {before: ["path:{{ torv_remote_folder }}"], timeout: 5}
PLAY

# The collection as installed from the project.
mkdir -p "$WORK/collections/ansible_collections/torv"
ln -s "$ROOT/ansible" "$WORK/collections/ansible_collections/torv/fleet"
export ANSIBLE_COLLECTIONS_PATH="$WORK/collections" ANSIBLE_HOME="$WORK/ansible-home" \
  ANSIBLE_LOCAL_TEMP="$WORK/ansible-local" ANSIBLE_SSH_CONTROL_PATH_DIR="$WORK/cp" ANSIBLE_NOCOLOR=1 \
  ANSIBLE_RETRY_FILES_ENABLED=0 ANSIBLE_FORKS=5 ANSIBLE_PIPELINING=1 ANSIBLE_CONFIG="$WORK/ansible.cfg"
: >"$WORK/ansible.cfg" # none of the machine's own settings
playbook() { ansible-playbook -i "$WORK/hosts.ini" "$@"; }

# --- the role: configures, then changes nothing ----------------------------
playbook -v "$WORK/site.yml" >"$WORK/run1.out" 2>&1 || { cat "$WORK/run1.out"; fail "the first run failed"; }
playbook -v "$WORK/site.yml" >"$WORK/run2.out" 2>&1 || { cat "$WORK/run2.out"; fail "the second run failed"; }
grep -Eq '^h[123] +: ok=[1-9].*changed=[1-9]' "$WORK/run1.out" || fail "the first run changed nothing"
(($(grep -Ec '^h[123] +: ok=[1-9][0-9]* +changed=0 +unreachable=0 +failed=0' "$WORK/run2.out") == 3)) ||
  { grep -B3 'changed:' "$WORK/run2.out" >&2; fail "the second run changed something"; }
for h in "${HOSTS[@]}"; do
  want=$(printf '%s' "$h" | openssl dgst -sha256 -mac HMAC -macopt hexkey:"$MASTER" | sed 's/^.*= //')
  [[ "$(cat "$WORK/$h/prog/remote.key")" == "$want" ]] || fail "$h's remote.key is not HMAC(master, $h)"
  [[ "$(stat -c %a "$WORK/$h/prog/remote.key")" == 600 ]] || fail "$h's remote.key is not owner-only"
  [[ "$(stat -c %a "$WORK/$h/exchange")" == 2770 ]] || fail "$h's remote folder has mode $(stat -c %a "$WORK/$h/exchange")"
  ! grep -qF -e "$want" -e "$MASTER" "$WORK/run1.out" "$WORK/run2.out" || fail "a key shows in the output"
  "$WORK/$h/prog/torv" --check-config "$WORK/$h/prog" >"$WORK/$h/check.json" || fail "$h: --check-config said $?"
done
python3 - "$WORK/h1/check.json" "$WORK/h1/exchange" <<'PY' || fail "the settings on h1 are not the role's"
import json, sys
c = json.load(open(sys.argv[1]))
s, t = c["settings"], c["tasks"]
assert (s["ExchangeDir"], s["RemoteOpt"], s["InitTime"], s["Sounds"]) == (sys.argv[2], "REMOTEON", "1", "SOUNDOFF"), s
assert t[0]["description"] == "Marker, first" and t[0]["checks"]["before"] == ["path:" + sys.argv[2]], t
PY
n1=$(cat "$WORK/h1/prog/remote.key")
[[ "$n1" != "$(cat "$WORK/h2/prog/remote.key")" ]] || fail "two hosts share a key"

# A validation step as Ansible runs it: a damaged config.ini never lands.
before=$(md5sum <"$WORK/h1/prog/config.ini")
! ansible h1 -i "$WORK/hosts.ini" -m ansible.builtin.copy -a "content='NORM\r\n' dest={{ torv_program_folder }}/config.ini validate='{{ torv_program_folder }}/torv --check-config %s'" \
  >"$WORK/validate.out" 2>&1 || fail "a damaged config.ini passed validation"
grep -q "62 Input past end of file" "$WORK/validate.out" || fail "validation did not say why: $(cat "$WORK/validate.out")"
[[ "$(md5sum <"$WORK/h1/prog/config.ini")" == "$before" ]] || fail "the damaged config.ini was written"

# --- commands --------------------------------------------------------------
for h in "${HOSTS[@]}"; do
  (cd "$WORK/$h" && exec "$WORK/$h/prog/torv" --headless >"$WORK/$h/torv.out" 2>&1) &
  PIDS+=($!)
  eval "PID_$h=$!"
done
for h in "${HOSTS[@]}"; do
  wait_for "[[ -f '$WORK/$h/exchange/Result.txt.sig' ]]" 20 || fail "$h's sequence did not end"
done
for h in "${HOSTS[@]}"; do [[ -f "$WORK/$h/marker" ]] || fail "the role's task did not run on $h"; done
# Ad-hoc runs of the plugin, each host's result as one line of facts.
send() {
  local hosts="$1" args="$2"
  rm -rf "$WORK/tree"
  ansible "$hosts" -i "$WORK/hosts.ini" -m torv.fleet.command -a "$args" --tree "$WORK/tree" >"$WORK/send.out" 2>&1 || true
  python3 - "$WORK/tree" "$WORK/send.out" <<'PY'
import json, os, sys
if not os.path.isdir(sys.argv[1]):
    sys.exit("no results from ansible: " + open(sys.argv[2]).read()[-3000:])
for host in sorted(os.listdir(sys.argv[1])):
    r = json.load(open(os.path.join(sys.argv[1], host)))
    log = r.get("log") or [""]
    # The tree keeps no "failed": a host failed when it brought back no answer.
    print(host, "ok" if "answered_at" in r else "failed", "changed" if r.get("changed") else "same",
          "refused" if r.get("refused") else "obeyed", r.get("command_stamp", 0) > 0, repr(log[-1]), r.get("msg", ""))
PY
}
started=$(date +%s.%N)
send all "command=report" >"$WORK/report.txt"
report_seconds=$(awk -v a="$started" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }')
for h in "${HOSTS[@]}"; do
  grep -q "^$h ok same obeyed True 'Report Requested and Generated at:" "$WORK/report.txt" ||
    fail "report on $h: $(cat "$WORK/report.txt" "$WORK/send.out")"
done
echo "report from three consoles: $report_seconds s"

send h2 "command='touch $WORK/h2/ran' timeout=30" >"$WORK/line.txt"
grep -q "^h2 ok changed obeyed True 'Executing Remote Command:touch $WORK/h2/ran at:" "$WORK/line.txt" ||
  fail "a command line on h2: $(cat "$WORK/line.txt")"
[[ -f "$WORK/h2/ran" ]] || fail "the command line did not run"

send h3 "command=off" >"$WORK/off.txt"
grep -q "^h3 ok changed obeyed True 'System Shutdown Acknowledged at:" "$WORK/off.txt" || fail "off on h3: $(cat "$WORK/off.txt")"
wait_for "grep -qx -- '-h now' '$WORK/shutdown.log'" 5 || fail "off did not run the fake shutdown"

# A stopped console: that host fails after its timeout, the other goes on,
# and the unanswered command is taken back.
kill "$PID_h1"
wait "$PID_h1" 2>/dev/null || true
send h1,h2 "command=report timeout=12" >"$WORK/stopped.txt"
grep -q "^h1 failed .*no verified answer within 12 s" "$WORK/stopped.txt" || fail "the stopped host: $(cat "$WORK/stopped.txt")"
grep -q "^h2 ok same obeyed True" "$WORK/stopped.txt" || fail "the other host did not go on: $(cat "$WORK/stopped.txt")"
[[ ! -e "$WORK/h1/exchange/command.txt" ]] || fail "the unanswered command was left behind"

# A forged answer to the right stamp, signed with the wrong key, is refused.
(
  cmd="$WORK/h1/exchange/command.txt"
  wait_for "[[ -f '$cmd' ]]" 10 || exit 1
  stamp=$(sed -n 2p "$cmd" | cut -d' ' -f2)
  printf 'Report Requested and Generated at:forged\r\n\r\n' >"$WORK/h1/exchange/Result.txt"
  printf 'HMAC-SHA256-ANSWER %s %s %s\r\n' "$stamp" "$(date +%s)000" "$(openssl rand -hex 32)" >"$WORK/h1/exchange/Result.txt.sig"
  rm -f "$cmd"
) &
forger=$!
send h1 "command=report timeout=4" >"$WORK/forged.txt"
wait "$forger" || fail "the forger saw no command"
grep -q "^h1 failed .*does not verify" "$WORK/forged.txt" || fail "a forged answer was taken: $(cat "$WORK/forged.txt")"

# Another sender's command waiting: never overwritten, nothing left behind.
printf 'theirs\r\n' >"$WORK/h1/exchange/command.txt"
send h1 "command=report timeout=4" >"$WORK/waiting.txt"
grep -q "^h1 failed .*a command is still waiting" "$WORK/waiting.txt" || fail "a waiting command: $(cat "$WORK/waiting.txt")"
[[ "$(ls -A "$WORK/h1/exchange" | grep command)$(cat "$WORK/h1/exchange/command.txt")" == $'command.txttheirs\r' ]] ||
  fail "the waiting command was replaced, or a temporary file left"
echo "PASS"
