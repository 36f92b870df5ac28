# Copyright (c) 2026 Quillbus service tool team
# MIT License (see LICENSE in the source tree)

from __future__ import absolute_import, division, print_function

__metaclass__ = type


class ModuleDocFragment(object):
    # The options every module shares: which program runs, and how far the scan asks.
    DOCUMENTATION = r"""
options:
  to:
    description:
      - The highest address the scan asks (1 to 96).
    type: int
    default: 16
  program:
    description:
      - The program to run, a name looked for on the PATH or a path.
    type: str
    default: quillbus-service
requirements:
  - quillbus-service on the managed host, with the USB module connected (or its emulator).
"""
