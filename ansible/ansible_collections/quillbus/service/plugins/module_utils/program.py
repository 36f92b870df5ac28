# Copyright (c) 2026 Quillbus service tool team
# MIT License (see LICENSE in the source tree)

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import json

# The options every module shares (documented in the doc fragment quillbus.service.bus).
BUS_OPTIONS = dict(
    to=dict(type="int", default=16),
    program=dict(type="str", default="quillbus-service"),
)


def program_path(module):
    """The program to run: a path as given, or a name found on the PATH."""
    program = module.params["program"]
    return program if "/" in program else module.get_bin_path(program, required=True)


def json_records(module, out, result):
    """The program's JSON records; the task fails when its output is not JSON."""
    try:
        return json.loads(out) if out.strip() else []
    except ValueError:
        module.fail_json(msg="quillbus-service did not answer with JSON records", stdout=out, **result)


def last_words(err):
    """The program's reason: the last line it said on standard error ("" when it said none)."""
    lines = [line for line in err.splitlines() if line.strip()]
    return lines[-1] if lines else ""
