# -*- coding: utf-8 -*-
# The documentation of the action plugin of the same name (plugins/action/command.py),
# which does all the work on the controller.

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
module: command
short_description: Send a signed command to TORV and bring back its verified answer
description:
  - Signs the command with the host's key (the C(torv --sign) protocol), writes it to the host's
    remote folder under a temporary name and links it to C(command.txt) (never over a command
    already there, which fails that host), then waits for a
    C(Result.txt) whose C(Result.txt.sig) verifies as the answer to that command.
  - A missing or unverifiable answer fails that host; the other hosts go on.
  - Check mode sends nothing.
version_added: "1.0.0"
author: TORV developers
options:
  command:
    description: C(report), C(off), C(restart) or a command line to run on the host.
    type: str
    required: true
  folder:
    description: The remote folder. Default C(torv_remote_folder).
    type: str
  key:
    description:
      - The host's key as hex. Default C(torv_key), else derived from C(torv_master_key) as
        HMAC-SHA256(master key, inventory name).
    type: str
  timeout:
    description: Seconds to wait for the answer (TORV looks every 10 s).
    type: float
    default: 30
  poll:
    description: Seconds between two looks at the folder.
    type: float
    default: 1
  mode:
    description: The command file's mode, so that TORV's user (by its group) can read and delete it.
    type: str
    default: "0660"
"""

EXAMPLES = r"""
- name: Every console's log
  torv.fleet.command:
    command: report
  register: answer
"""

RETURN = r"""
log:
  description: The lines of Result.txt.
  type: list
  elements: str
  returned: success
command_stamp:
  description: The stamp of the command the answer answers (0 for a refusal).
  type: int
  returned: always
answered_at:
  description: When TORV wrote the answer, ISO 8601 UTC.
  type: str
  returned: success
refused:
  description: Whether TORV refused the command.
  type: bool
  returned: success
reason:
  description: Why it was refused (C(bad-signature), C(stamp-used), C(hostile-command), ...).
  type: str
  returned: success
"""
