# -*- coding: utf-8 -*-
"""torv.fleet.command: sends one signed command to a host's TORV and brings
back its verified answer. Runs on the controller, where the key is; the host
needs only a POSIX shell and base64."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import base64
import datetime
import secrets
import shlex
import time

from ansible.errors import AnsibleConnectionFailure, AnsibleError
from ansible.module_utils.common.text.converters import to_text
from ansible.plugins.action import ActionBase
from ansible_collections.torv.fleet.plugins.module_utils.torv_signing import (
    host_key,
    log_lines,
    refusal,
    signed_command,
    verify_answer,
)

# What TORV does with a command: these change the host; report does not.
_QUIET = ("report",)
_GOING_DOWN = ("off", "restart")


class ActionModule(ActionBase):
    TRANSFERS_FILES = False
    _VALID_ARGS = frozenset(("command", "folder", "key", "timeout", "poll", "mode"))

    def _var(self, task_vars, name):
        value = task_vars.get(name)
        return None if value is None else self._templar.template(value)

    def _key(self, task_vars):
        key = self._task.args.get("key") or self._var(task_vars, "torv_key")
        if key:
            return str(key)
        master = self._var(task_vars, "torv_master_key")
        if master:
            return host_key(str(master), task_vars["inventory_hostname"])
        raise AnsibleError("no key: set torv_key (e.g. from Vault) or torv_master_key")

    def _shell(self, script):
        res = self._low_level_execute_command(script)
        if res.get("rc", 1) != 0:
            raise AnsibleError("on the host: %s" % to_text(res.get("stderr") or res.get("stdout")).strip())
        return to_text(res.get("stdout", ""))

    def run(self, tmp=None, task_vars=None):
        task_vars = task_vars or {}
        result = super(ActionModule, self).run(tmp, task_vars)
        args = self._task.args
        command = args.get("command")
        if not command or not isinstance(command, str):
            return dict(result, failed=True, msg="command is required (report, off, restart or a command line)")
        folder = args.get("folder") or self._var(task_vars, "torv_remote_folder")
        if not folder:
            return dict(result, failed=True, msg="folder is required (or torv_remote_folder)")
        timeout = float(args.get("timeout", 30))
        poll = float(args.get("poll", 1))
        mode = str(args.get("mode", "0660"))
        changes = command not in _QUIET
        if self._play_context.check_mode:
            return dict(result, changed=changes, msg="check mode: nothing was sent")
        try:
            key = self._key(task_vars)
            stamp = int(time.time() * 1000)
            content = signed_command(command, key, stamp)
        except (AnsibleError, ValueError) as e:
            return dict(result, failed=True, msg=str(e))

        q = shlex.quote
        cmd_file = folder.rstrip("/") + "/command.txt"
        sig_file = folder.rstrip("/") + "/Result.txt.sig"
        temp = folder.rstrip("/") + "/.command.tmp-" + secrets.token_hex(6)
        try:
            # A command already waiting is someone else's: never replaced. A
            # hard link is made only where no name is, so one that arrives
            # while this is written is never overwritten either. The answer
            # standing now is remembered, to tell a new one from it.
            before = self._shell(
                "[ -d {d} ] || {{ echo 'no folder {d}' >&2; exit 1; }}; "
                "b=$(if [ -f {s} ]; then base64 < {s} | tr -d '\\n'; fi); "
                "umask 007 && printf '%s' {body} > {t} && chmod {m} {t} || {{ rm -f {t}; exit 1; }}; "
                "if ! e=$(ln {t} {c} 2>&1); then rm -f {t}; "
                "if [ -e {c} ] || [ -L {c} ]; then echo 'a command is still waiting in {d}' >&2; "
                "else printf '%s\\n' \"$e\" >&2; fi; exit 1; fi; rm -f {t}; printf '%s\\n' \"$b\"".format(
                    d=q(folder), c=q(cmd_file), s=q(sig_file), t=q(temp), m=q(mode), body=q(content)
                )
            ).strip()
        except (AnsibleError, AnsibleConnectionFailure) as e:
            return dict(result, failed=True, msg="not sent: %s" % e)

        answer, problem = self._wait(folder, key, stamp, before, timeout, poll, command in _GOING_DOWN)
        if answer is None:
            withdrawn = self._withdraw(cmd_file, stamp)
            return dict(
                result,
                failed=True,
                command_stamp=stamp,
                msg="no verified answer within %g s: %s%s"
                % (timeout, problem, "; the command was withdrawn" if withdrawn else ""),
            )
        lines, command_stamp, answer_stamp, reason = answer
        return dict(
            result,
            changed=changes and reason is None,
            log=lines,
            command_stamp=command_stamp,
            answered_at=datetime.datetime.fromtimestamp(answer_stamp / 1000.0, datetime.timezone.utc).isoformat(),
            refused=reason is not None,
            reason=reason or "",
        )

    def _wait(self, folder, key, stamp, before, timeout, poll, going_down):
        """Polls until the command file is gone and a new answer verifies.

        TORV looks every 10 s; a host going down may drop the connection,
        which is then tried again until the time is up."""
        q = shlex.quote
        script = (
            "cd {d} || exit 1; if [ -e command.txt ]; then echo waiting; exit 0; fi; echo gone; "
            "if [ -f Result.txt.sig ] && [ -f Result.txt ]; then "
            "base64 < Result.txt.sig | tr -d '\\n'; echo; base64 < Result.txt | tr -d '\\n'; echo; fi"
        ).format(d=q(folder))
        deadline = time.monotonic() + timeout
        problem = "the command is still waiting (is the console running and listening?)"
        while True:
            try:
                lines = self._shell(script).splitlines()
            except AnsibleConnectionFailure as e:
                lines = []
                problem = "connection lost: %s" % e if going_down else "cannot reach the host: %s" % e
            except AnsibleError as e:
                lines = []
                problem = str(e)
            if lines and lines[0] == "gone":
                answer, problem = self._judge(lines[1:], key, stamp, before)
                if answer:
                    return answer, None
            if time.monotonic() + poll > deadline:
                return None, problem
            time.sleep(poll)

    def _judge(self, encoded, key, stamp, before):
        if len(encoded) < 2:
            return None, "the command file is gone but there is no Result.txt with Result.txt.sig"
        try:
            sig, result_bytes = base64.b64decode(encoded[0]), base64.b64decode(encoded[1])
            command_stamp, answer_stamp = verify_answer(result_bytes, sig, key)
        except ValueError as e:
            return None, "the answer is refused: %s" % e
        lines = log_lines(result_bytes)
        if command_stamp == stamp:
            return (lines, command_stamp, answer_stamp, refusal(lines)), None
        # An answer to no command, new since the command was sent, that ends
        # in a refusal: TORV would not obey it (a wrong key, a stale clock).
        if command_stamp == 0 and encoded[0] != before and refusal(lines):
            return (lines, command_stamp, answer_stamp, refusal(lines)), None
        return None, "the answer there answers stamp %d, not %d" % (command_stamp, stamp)

    def _withdraw(self, cmd_file, stamp):
        """Deletes the command when it is still ours: an off found by a console
        started later would otherwise still be obeyed within its 10 minutes."""
        try:
            out = self._shell(
                "if grep -q {m} {c} 2>/dev/null; then rm -f {c} && echo withdrawn; fi".format(
                    m=shlex.quote("HMAC-SHA256 %d " % stamp), c=shlex.quote(cmd_file)
                )
            )
            return "withdrawn" in out
        except (AnsibleError, AnsibleConnectionFailure):
            return False
