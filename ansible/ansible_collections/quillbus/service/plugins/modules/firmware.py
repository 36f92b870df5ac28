#!/usr/bin/python
# Copyright (c) 2026 Quillbus service tool team
# MIT License (see LICENSE in the source tree)

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: firmware
short_description: Load firmware into the devices of a Quillbus bus, or into its USB module
description:
  - Runs the installed C(quillbus-service load) on the host whose USB module is on the bus,
    and reads its JSON records, one per device.
  - With I(only_older) (the default), a device is loaded only when the revision it reports is
    lower than the revision its file's name carries; the others are reported C(current) and
    sent nothing, so running the task again changes nothing.
  - In check mode the program's dry run is run instead; it checks the files and reports which
    devices would be loaded, and sends nothing.
version_added: "2.1.0"
author:
  - Quillbus service tool team (@quillbus)
options:
  folder:
    description:
      - The folder the firmware files (C(F<type>-<revision>.hex)) are looked for in, on the
        managed host; the download files are written beside them, so it must be writable.
        Without it, the folder the module runs in on the managed host.
    type: path
  devices:
    description:
      - The bus addresses to load, or the string C(all) for every device the scan lists
        (domes that cannot take a download are passed over).
      - Not used with I(module_file).
    type: raw
    default: all
  latest:
    description:
      - Where several files match a device's type, take the highest revision. Without it,
        several matching files refuse the device.
    type: bool
    default: false
  only_older:
    description:
      - Load only devices (or the module) whose revision is lower than their file's.
    type: bool
    default: true
  module_file:
    description:
      - Load this file into the USB module itself instead of the devices.
    type: path
notes:
  - The task fails when any device asked for fails or is refused, or when the module is not
    found; the result then still holds every device's record.
  - Supports check mode.
extends_documentation_fragment:
  - quillbus.service.bus
"""

EXAMPLES = r"""
- name: Upgrade every device that is behind
  quillbus.service.firmware:
    folder: /srv/firmware
    devices: all
    latest: true

- name: Load two devices whatever their revision
  quillbus.service.firmware:
    folder: /srv/firmware
    devices: [3, 7]
    only_older: false

- name: Upgrade the USB module when it is behind
  quillbus.service.firmware:
    module_file: /srv/firmware/UsbModule-0103.hex
"""

RETURN = r"""
devices:
  description:
    - One record per device asked for, as the program's JSON gives it. C(outcome) is one of
      C(loaded), C(current), C(would load) (check mode), C(failed), C(refused),
      C(passed over), C(not loaded), C(module lost), C(interrupted).
  returned: always, but with I(module_file)
  type: list
  elements: dict
  sample:
    - {address: 1, type: "2315", file: "F2315-0202.hex", before: "0201", after: "0202",
       status: "Load Complete", outcome: loaded}
    - {address: 2, type: "2315", file: "F2315-0202.hex", before: "0202", after: "0202",
       status: "Current: holds 0202, the file has 0202", outcome: current}
module:
  description: The module's load, with I(module_file).
  returned: when the module is loaded
  type: dict
  sample: {file: /srv/firmware/UsbModule-0103.hex, status: "Load Complete - Recycle Power", outcome: loaded}
rc:
  description: The program's exit status (0 done, 1 a device or file failed, 2 usage, 3 no module).
  returned: always
  type: int
cmd:
  description: The command line that was run.
  returned: always
  type: list
  elements: str
stderr:
  description: What the program said on standard error (its progress and its reasons).
  returned: always
  type: str
"""

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.quillbus.service.plugins.module_utils.program import (
    BUS_OPTIONS, json_records, last_words, program_path)


def device_arguments(module):
    devices = module.params["devices"]
    if isinstance(devices, str) and devices == "all":
        return ["--all"]
    if isinstance(devices, (int, str)):
        devices = [devices]
    if not isinstance(devices, list) or not devices:
        module.fail_json(msg="devices takes a list of addresses, or all")
    addresses = []
    for address in devices:
        try:
            addresses.append(str(int(address)))
        except (TypeError, ValueError):
            module.fail_json(msg="devices takes a list of addresses, or all; %r is neither" % (address,))
    return addresses


# The outcomes that fail the task (a device passed over in a load of all does not).
FAILED_OUTCOMES = ("failed", "refused", "not loaded", "module lost", "interrupted")


def failure_reasons(result, err):
    """Why the load failed: each failed device's status, else the program's own last words."""
    reasons = ["address %s: %s" % (d.get("address"), d.get("status") or d.get("outcome"))
               for d in result.get("devices", []) if d.get("outcome") in FAILED_OUTCOMES]
    if not reasons and "module" in result:
        reasons = [result["module"]["status"]]
    if not reasons:
        reasons = [last_words(err)]
    return "; ".join(reason for reason in reasons if reason) or "no reason given"


def module_outcome(line, rc, check_mode):
    # The program says "FILE: text" for the module's load.
    text = line.split(": ", 1)[1] if ": " in line else line
    if text.startswith("Current:"):
        outcome = "current"
    elif check_mode and rc == 0:
        outcome = "would load"
    elif rc == 0:
        outcome = "loaded"
    else:
        outcome = "failed"
    return text, outcome


def main():
    module = AnsibleModule(
        argument_spec=dict(
            folder=dict(type="path"),
            devices=dict(type="raw", default="all"),
            latest=dict(type="bool", default=False),
            only_older=dict(type="bool", default=True),
            module_file=dict(type="path"),
            **BUS_OPTIONS
        ),
        supports_check_mode=True,
    )
    p = module.params
    program = program_path(module)
    cmd = [program, "load"]
    if p["module_file"]:
        cmd += ["--module", p["module_file"]]
    else:
        cmd += device_arguments(module) + ["--format", "json", "--to", str(p["to"])]
        if p["folder"]:
            cmd += ["--folder", p["folder"]]
        if p["latest"]:
            cmd.append("--latest")
    if p["only_older"]:
        cmd.append("--only-older")
    if module.check_mode:
        cmd.append("--dry-run")

    rc, out, err = module.run_command(cmd)
    result = dict(cmd=cmd, rc=rc, stderr=err, changed=False)

    if p["module_file"]:
        lines = [line for line in out.splitlines() if line.strip()]
        text, outcome = module_outcome(lines[-1] if lines else "", rc, module.check_mode)
        result["module"] = dict(file=p["module_file"], status=text, outcome=outcome)
        result["changed"] = outcome in ("loaded", "would load")
    else:
        records = json_records(module, out, result)
        result["devices"] = records
        wanted = "would load" if module.check_mode else "loaded"
        result["changed"] = any(record.get("outcome") == wanted for record in records)

    if rc != 0:
        module.fail_json(msg="quillbus-service load ended with status %d: %s" % (rc, failure_reasons(result, err)), **result)
    module.exit_json(**result)


if __name__ == "__main__":
    main()
