#!/usr/bin/env bash
# ansible-lint over the collection, offline (CI reaches no Galaxy), the
# Windows task file included: Debian's ansible package brings the
# ansible.windows and community.windows collections its modules come from.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
WORK="$(mktemp -d /tmp/torv-lint.XXXXXX)"
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/collections/ansible_collections/torv"
cp -r "$ROOT/ansible" "$WORK/collections/ansible_collections/torv/fleet"
cd "$WORK/collections/ansible_collections/torv/fleet"
export ANSIBLE_COLLECTIONS_PATH="$WORK/collections" ANSIBLE_HOME="$WORK/home" ANSIBLE_LOCAL_TEMP="$WORK/tmp"
export XDG_CACHE_HOME="$WORK/cache" ANSIBLE_NOCOLOR=1 NO_COLOR=1
ansible-lint --offline --nocolor -- roles playbooks
# The linter cannot load the Windows modules (PowerShell behind a stub), nor
# does it miss one that does not exist: a syntax check resolves each name.
printf -- '- hosts: localhost\n  gather_facts: false\n  tasks:\n    - ansible.builtin.import_tasks: %s\n' \
  "$PWD/roles/console/tasks/windows.yml" >"$WORK/windows-syntax.yml"
ANSIBLE_COLLECTIONS_PATH="$WORK/collections:/usr/lib/python3/dist-packages" \
  ansible-playbook --syntax-check -i localhost, "$WORK/windows-syntax.yml" >/dev/null
python3 -m py_compile plugins/action/command.py plugins/filter/keys.py plugins/module_utils/torv_signing.py
