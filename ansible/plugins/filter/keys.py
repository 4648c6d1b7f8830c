# -*- coding: utf-8 -*-
"""torv.fleet.host_key: one host's TORV key from the fleet's master key."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

from ansible.errors import AnsibleFilterError
from ansible_collections.torv.fleet.plugins.module_utils.torv_signing import host_key as _host_key


def host_key(master_key, inventory_name):
    try:
        return _host_key(str(master_key), str(inventory_name))
    except ValueError as e:
        raise AnsibleFilterError("torv.fleet.host_key: %s" % e)


class FilterModule(object):
    def filters(self):
        return {"host_key": host_key}
