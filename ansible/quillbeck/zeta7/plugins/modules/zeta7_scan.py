#!/usr/bin/python
# Copyright (c) 2026 the ZETA-7 settings utility developers
# MIT License (see LICENSE in the collection)
"""Lists the ZETA-7 units a managed host sees, through zeta7ctl scan."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: zeta7_scan
short_description: Find the ZETA-7 units on a host's serial ports
version_added: "1.2.0"
description:
  - Runs C(zeta7ctl scan --json) on the managed host. Every present port and
    C([ports]) entry (or only I(ports)) is probed at the four line speeds, all
    ports at once; nothing is written to any unit.
  - A port that another program holds, or that the user may not open, is
    reported in I(unavailable) and not probed.
  - Sets the fact C(zeta7_units).
options:
  ports:
    description: Only these ports (COM names or device paths).
    type: list
    elements: str
  settings:
    description: The settings file zeta7ctl reads for C([ports]) and the first speed.
    type: path
  timeout:
    description: How long each speed is given to answer, in ms (1 to 60000; default 150).
    type: int
  zeta7ctl:
    description: The zeta7ctl program on the managed host.
    type: path
    default: zeta7ctl
attributes:
  check_mode:
    description: Read-only; check mode runs it as usual.
    support: full
  diff_mode:
    description: Changes nothing, so it has no diff.
    support: none
  platform:
    description: Runs zeta7ctl on the managed host.
    support: full
    platforms: posix
notes:
  - Any failure of zeta7ctl (a port that leads to no device, output that could
    not be written) fails the task with zeta7ctl's message.
author:
  - ZETA-7 settings utility developers (!UNKNOWN)
"""

EXAMPLES = r"""
- name: Which units does this bench see
  quillbeck.zeta7.zeta7_scan:
  register: scan

- name: One line per unit
  ansible.builtin.debug:
    msg: "{{ item.port }} {{ item.usb_serial }} {{ item.baud }} {{ item.version }}"
  loop: "{{ zeta7_units }}"
"""

RETURN = r"""
units:
  description: The units found.
  returned: always
  type: list
  elements: dict
  sample:
    - {"port": "COM3", "device": "/dev/ttyUSB0", "usb_serial": "A1B2C3D4",
       "baud": 38400, "version": "V1.02.03"}
unavailable:
  description: Ports that could not be probed, with their error_code and error.
  returned: always
  type: list
  elements: dict
ansible_facts:
  description: C(zeta7_units), the same list as I(units).
  returned: always
  type: dict
error_code:
  description:
    - On failure, C(usage) (an argument is wrong or zeta7ctl refused it),
      C(zeta7ctl_missing) or C(no_record) (zeta7ctl's output was not its records).
  returned: on failure
  type: str
"""

import os

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.quillbeck.zeta7.plugins.module_utils.zeta7ctl import (
    fail, find_zeta7ctl, json_records, port_problem, stderr_text)


def main():
    module = AnsibleModule(
        argument_spec=dict(
            ports=dict(type="list", elements="str"),
            settings=dict(type="path"),
            timeout=dict(type="int"),
            zeta7ctl=dict(type="path", default="zeta7ctl"),
        ),
        supports_check_mode=True,
    )
    p = module.params
    result = dict(changed=False, units=[], unavailable=[])
    problems = [port_problem("ports", port) for port in p["ports"] or []]
    if p["timeout"] is not None and not 1 <= p["timeout"] <= 60000:
        problems.append("timeout must be 1 to 60000, not %d" % p["timeout"])
    if p["settings"] is not None and not os.path.isfile(p["settings"]):
        problems.append("settings %r: no such file" % p["settings"])
    problems = [problem for problem in problems if problem]
    if problems:
        fail(module, result, "usage", problems[0])
    cmd = [find_zeta7ctl(module, result), "scan", "--json"]
    for port in p["ports"] or []:
        cmd += ["-p", port]
    if p["settings"]:
        cmd += ["--settings", p["settings"]]
    if p["timeout"] is not None:
        cmd += ["--timeout", str(p["timeout"])]
    rc, out, err = module.run_command(cmd)
    records = json_records(module, out, rc, result)
    if rc != 0:
        fail(module, result, "usage" if rc == 2 else "no_record",
             stderr_text(err) or "zeta7ctl scan: exit %d" % rc, rc=rc)
    units, unavailable = [], []
    for rec in records:
        if rec.get("outcome") == "ok":
            units.append(dict((k, rec.get(k, "")) for k in
                              ("port", "device", "usb_serial", "baud", "version")))
        elif rec.get("outcome") == "failed":
            unavailable.append(dict((k, rec.get(k)) for k in
                                    ("port", "device", "error_code", "error")))
    module.exit_json(changed=False, units=units, unavailable=unavailable,
                     ansible_facts=dict(zeta7_units=units))


if __name__ == "__main__":
    main()
