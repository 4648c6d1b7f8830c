# -*- coding: utf-8 -*-
"""TORV's signed remote commands and answers, on the controller.

The same bytes as `torv --sign` and `torv --verify-answer` (docs/manual.md,
"Signed commands"): a command file is the command as a config.ini value, CR LF,
then "HMAC-SHA256 <stamp> <hex>" over "<stamp>\\n<command>"; an answer's
Result.txt.sig is "HMAC-SHA256-ANSWER <command stamp> <answer stamp> <hex>"
over "TORV-ANSWER\\n<command stamp>\\n<answer stamp>\\n" and Result.txt's bytes.
"""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import hashlib
import hmac
import re

_HEX_KEY = re.compile(r"^[0-9a-fA-F]{32,128}$")


def key_bytes(key_hex):
    """The key of a remote.key line; ValueError when it is not one."""
    key_hex = key_hex.strip()
    if not _HEX_KEY.match(key_hex) or len(key_hex) % 2:
        raise ValueError("a TORV key is one line of 32 to 128 hex digits")
    return bytes.fromhex(key_hex)


def host_key(master_hex, inventory_name):
    """One host's key: HMAC-SHA256(master key, inventory name), as hex.

    A host that leaks its key so cannot command the others, and the controller
    needs to keep only the master key."""
    return hmac.new(key_bytes(master_hex), inventory_name.encode("utf-8"), hashlib.sha256).hexdigest()


def quote_command(command):
    """The command as a config.ini value: quoted when it would not read back whole."""
    quote = bool(command) and (command[0] in '" \t' or command[-1] in " \t")
    quote = quote or any(c in command for c in ",\r\n")
    if not quote:
        return command
    return '"' + command.replace('"', '""') + '"'


def signed_command(command, key_hex, stamp_ms):
    """The whole command.txt for a command, signed at stamp_ms (UTC milliseconds)."""
    if not command:
        raise ValueError("an empty command is never read")
    mac = hmac.new(key_bytes(key_hex), ("%d\n%s" % (stamp_ms, command)).encode("utf-8"), hashlib.sha256)
    return "%s\r\nHMAC-SHA256 %d %s\r\n" % (quote_command(command), stamp_ms, mac.hexdigest())


def verify_answer(result_bytes, sig_bytes, key_hex):
    """(command stamp, answer stamp) of a Result.txt whose signature verifies.

    The command stamp is 0 for an answer to no command. Raises ValueError with
    the reason otherwise."""
    line = sig_bytes.decode("ascii", "replace")
    if line.endswith("\r\n"):
        line = line[:-2]
    words = line.split(" ")
    if len(words) != 4 or words[0] != "HMAC-SHA256-ANSWER":
        raise ValueError("Result.txt.sig is not an answer's signature line")
    scheme, command_stamp, answer_stamp, want = words
    if not command_stamp.isdigit() or not answer_stamp.isdigit() or not command_stamp.isascii():
        raise ValueError("Result.txt.sig has a stamp that is not a number")
    signed = ("TORV-ANSWER\n%s\n%s\n" % (command_stamp, answer_stamp)).encode("ascii") + result_bytes
    got = hmac.new(key_bytes(key_hex), signed, hashlib.sha256).hexdigest()
    if not hmac.compare_digest(got, want):
        raise ValueError("Result.txt does not verify against Result.txt.sig with this host's key")
    return int(command_stamp), int(answer_stamp)


_REFUSED = re.compile(r"^REFUSED UNSIGNED COMMAND \(([a-z-]+)")


def refusal(log_lines):
    """The reason word when the log's last entry refuses a command, else None."""
    entries = [line for line in log_lines if line.strip()]
    if not entries:
        return None
    last = entries[-1]
    found = _REFUSED.match(last)
    if found:
        return found.group(1)
    if last.startswith("HOSTILE COMMAND DEL"):
        return "hostile-command"
    return None


def log_lines(result_bytes):
    """Result.txt as lines, without the empty line that ends it."""
    lines = result_bytes.decode("utf-8", "replace").replace("\r\n", "\n").split("\n")
    while lines and lines[-1] == "":
        lines.pop()
    return lines
