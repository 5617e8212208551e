#!/usr/bin/python
# Copyright (c) 2026 the ZETA-7 settings utility developers
# MIT License (see LICENSE in the repository)
"""Sets one ZETA-7 unit's four parameters through zeta7ctl on the managed host."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: zeta7_unit
short_description: Set a ZETA-7 unit's channel, ID and retry parameters
version_added: "1.2.0"
description:
  - Runs C(zeta7ctl apply --plan) on the managed host for one unit, named by its
    port or by the serial number of its USB adapter.
  - The unit is read first. A unit that already holds the values is left alone
    (no C(S) command is sent) and the task reports C(changed=false); otherwise the
    values are written and verified by reading them back.
  - In check mode the unit is read and compared only; nothing is written.
  - With C(--diff) the values before and after are shown as a diff.
  - A failure fails the task with the unit's stable I(error_code) (see
    the zeta7ctl man page, section ERROR CODES) beside the text.
options:
  port:
    description:
      - The unit's port as zeta7ctl names it, C(COM3) (through the settings file's
        C([ports])) or a device path such as C(/dev/ttyUSB0).
      - Exactly one of I(port) and I(serial) is required.
    type: str
  serial:
    description:
      - The serial number of the unit's USB adapter, as its C(/dev/serial/by-id)
        name carries it, so that a unit keeps its task when plugged into another
        hub port (Linux hosts only).
    type: str
  channel:
    description: Radio channel, 7 to 46.
    type: int
    required: true
  id:
    description: Unit ID, 0 to 15.
    type: int
    required: true
  retry_count:
    description: Retry count, 0 to 10000, or C(infinite).
    type: str
    required: true
  retry_interval:
    description: Retry interval in milliseconds, 0 to 32767.
    type: int
    required: true
  baud:
    description: Line speed in bit/s; by default the settings file's speed.
    type: int
    choices: [38400, 19200, 9600, 4800]
  pace:
    description:
      - C(fast) goes on as soon as each answer is in (about 35 ms an apply);
        C(fixed) keeps the settings window's waits (about 0.9 s).
    type: str
    choices: [fast, fixed]
    default: fast
  timeout:
    description: Time-out of one exchange in ms (1 to 60000), with I(pace=fast) only.
    type: int
  force:
    description: Write even when the unit already holds the values.
    type: bool
    default: false
  settings:
    description: The settings file zeta7ctl reads for C([ports]) and the speed.
    type: path
  record:
    description: A file the unit's JSON record is appended to on the managed host.
    type: path
  trace:
    description: A file (or a folder, ending in C(/)) for every byte sent and received.
    type: path
  zeta7ctl:
    description: The zeta7ctl program on the managed host.
    type: path
    default: zeta7ctl
notes:
  - Runs on Linux hosts. For Windows hosts see the collection's README
    (C(ansible.windows.win_command) with C(zeta7ctl.exe --json)).
  - Supports check mode and diff mode.
author:
  - ZETA-7 settings utility developers
"""

EXAMPLES = r"""
- name: Bench unit on COM3
  quillbeck.zeta7.zeta7_unit:
    port: COM3
    channel: 12
    id: 3
    retry_count: infinite
    retry_interval: 1000

- name: A unit by its adapter's serial number, forced
  quillbeck.zeta7.zeta7_unit:
    serial: A1B2C3D4
    channel: 20
    id: 4
    retry_count: 5
    retry_interval: 500
    force: true
  register: unit

- name: Show why it failed
  ansible.builtin.debug:
    msg: "{{ unit.error_code }}: {{ unit.msg }}"
  when: unit is failed
"""

RETURN = r"""
changed:
  description: Whether the unit's values changed (in check mode, would change).
  returned: always
  type: bool
before:
  description: The values read before, or null when the unit could not be read.
  returned: always
  type: dict
  sample: {"channel": 12, "id": 3, "retry_count": 5, "retry_interval": 1000}
after:
  description: The values read after the command (in check mode, those read before).
  returned: always
  type: dict
target:
  description: The values asked for (retry_count -1 for infinite).
  returned: always
  type: dict
port:
  description: The port as given.
  returned: always
  type: str
device:
  description: The device the port led to.
  returned: always
  type: str
version:
  description: The unit's firmware version.
  returned: always
  type: str
write_sent:
  description: Whether an C(S) command went out.
  returned: always
  type: bool
unit_state:
  description: C(unchanged), C(verified), C(differs) or C(unknown).
  returned: always
  type: str
error_code:
  description: The stable code of the failure (C(no_answer), C(verify_mismatch), ...), or null.
  returned: always
  type: str
  sample: verify_mismatch
record:
  description: zeta7ctl's whole JSON record of the unit.
  returned: when zeta7ctl wrote one
  type: dict
"""

import json
import os
import tempfile

from ansible.module_utils.basic import AnsibleModule

PARAMS = ("channel", "id", "retry_count", "retry_interval")


def describe(values):
    if not values:
        return ""
    return "".join("%s: %s\n" % (key, values[key]) for key in PARAMS)


def csv_field(text):
    return '"' + text.replace('"', '""') + '"'


def main():
    module = AnsibleModule(
        argument_spec=dict(
            port=dict(type="str"),
            serial=dict(type="str"),
            channel=dict(type="int", required=True),
            id=dict(type="int", required=True),
            retry_count=dict(type="str", required=True),
            retry_interval=dict(type="int", required=True),
            baud=dict(type="int", choices=[38400, 19200, 9600, 4800]),
            pace=dict(type="str", choices=["fast", "fixed"], default="fast"),
            timeout=dict(type="int"),
            force=dict(type="bool", default=False),
            settings=dict(type="path"),
            record=dict(type="path"),
            trace=dict(type="path"),
            zeta7ctl=dict(type="path", default="zeta7ctl"),
        ),
        mutually_exclusive=[("port", "serial")],
        required_one_of=[("port", "serial")],
        supports_check_mode=True,
    )
    p = module.params
    name = p["port"] or p["serial"]
    retry = p["retry_count"].strip()
    if retry.lower() != "infinite" and not retry.lstrip("-").isdigit():
        module.fail_json(msg="retry_count must be a number or infinite: %s" % retry,
                         error_code="usage", changed=False)

    # One row of a plan: zeta7ctl checks the values and resolves the port or
    # serial number as it does for a whole bench.
    fd, plan = tempfile.mkstemp(prefix="zeta7-plan-", suffix=".csv", dir=module.tmpdir)
    with os.fdopen(fd, "w") as f:
        f.write("port,channel,id,retry_count,retry_interval\n")
        f.write("%s,%d,%d,%s,%d\n" % (csv_field(name), p["channel"], p["id"], retry,
                                      p["retry_interval"]))
    cmd = [p["zeta7ctl"], "apply", "--plan", plan, "--json", "--pace", p["pace"]]
    for option, key in (("--settings", "settings"), ("-b", "baud"), ("--timeout", "timeout"),
                        ("--record", "record"), ("--trace", "trace")):
        if p[key] is not None:
            cmd += [option, str(p[key])]
    if p["force"]:
        cmd.append("--force")
    if module.check_mode:
        cmd.append("--check")

    rc, out, err = module.run_command(cmd)
    records = []
    for line in out.splitlines():
        try:
            records.append(json.loads(line))
        except ValueError:
            pass
    if not records:
        # A usage error (exit 2): nothing was sent.
        module.fail_json(msg=err.strip() or "zeta7ctl gave no record (exit %d)" % rc, rc=rc,
                         error_code="usage" if rc == 2 else "no_record", changed=False,
                         cmd=cmd)
    rec = records[0]
    result = dict(
        changed=bool(rec.get("changed")),
        before=rec.get("before"),
        after=rec.get("after"),
        target=rec.get("target"),
        port=rec.get("port"),
        device=rec.get("device"),
        version=rec.get("version"),
        write_sent=rec.get("write_sent"),
        unit_state=rec.get("unit_state"),
        error_code=rec.get("error_code"),
        record=rec,
    )
    if module._diff and rec.get("before") and rec.get("target"):
        result["diff"] = dict(
            before_header="%s (before)" % name,
            after_header="%s (after)" % name,
            before=describe(rec["before"]),
            after=describe(rec["target"] if module.check_mode or rec.get("changed")
                           else rec.get("after") or rec["before"]),
        )
    if rec.get("outcome") != "ok":
        module.fail_json(msg=rec.get("error") or "zeta7ctl: %s" % rec.get("outcome"), rc=rc,
                         **result)
    module.exit_json(**result)


if __name__ == "__main__":
    main()
