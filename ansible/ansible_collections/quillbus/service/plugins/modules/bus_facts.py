#!/usr/bin/python
# Copyright (c) 2026 Quillbus service tool team
# MIT License (see LICENSE in the source tree)

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: bus_facts
short_description: The devices of a Quillbus bus as facts
description:
  - Runs the installed C(quillbus-service scan) on the host whose USB module is on the bus and
    sets the fact C(quillbus_devices), one entry per device that answered, for inventories and
    reports.
version_added: "2.1.0"
author:
  - Quillbus service tool team (@quillbus)
notes:
  - Sends only the scan's queries; supports check mode.
extends_documentation_fragment:
  - quillbus.service.bus
"""

EXAMPLES = r"""
- name: Read the bus
  quillbus.service.bus_facts:

- name: Report each device
  ansible.builtin.debug:
    msg: "{{ item.address }} {{ item.name }} {{ item.type }} {{ item.revision }}"
  loop: "{{ quillbus_devices }}"
"""

RETURN = r"""
ansible_facts:
  description: The facts set.
  returned: always
  type: complex
  contains:
    quillbus_devices:
      description: The devices that answered the scan, in address order.
      type: list
      elements: dict
      sample:
        - {address: 1, name: HDOME, type: "2315", revision: "0202"}
"""

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.quillbus.service.plugins.module_utils.program import (
    BUS_OPTIONS, json_records, last_words, program_path)


def main():
    module = AnsibleModule(
        argument_spec=dict(**BUS_OPTIONS),
        supports_check_mode=True,
    )
    p = module.params
    program = program_path(module)
    cmd = [program, "scan", "--format", "json", "--to", str(p["to"])]
    rc, out, err = module.run_command(cmd)
    if rc != 0:
        module.fail_json(msg="quillbus-service scan ended with status %d: %s" % (rc, last_words(err)),
                         cmd=cmd, rc=rc, stderr=err)
    devices = json_records(module, out, dict(cmd=cmd, rc=rc, stderr=err))
    facts = [dict(address=d.get("address"), name=d.get("name"), type=d.get("type"), revision=d.get("revision"))
             for d in devices]
    module.exit_json(changed=False, ansible_facts=dict(quillbus_devices=facts), cmd=cmd)


if __name__ == "__main__":
    main()
