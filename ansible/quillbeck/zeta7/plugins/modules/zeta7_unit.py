#!/usr/bin/python
# Copyright (c) 2026 the ZETA-7 settings utility developers
# MIT License (see LICENSE in the collection)
"""Sets one ZETA-7 unit's four parameters through zeta7ctl on the managed host."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: zeta7_unit
short_description: Set a ZETA-7 unit's channel, ID and retry parameters
version_added: "1.2.0"
description:
  - Runs C(zeta7ctl apply) on the managed host for one unit, named by its
    port or by the serial number of its USB adapter.
  - The arguments are checked first, against the ranges zeta7ctl and the
    settings window enforce; a wrong one fails the task with I(error_code=usage),
    naming the argument, and nothing is run.
  - The unit is read first. A unit that already holds the values is left alone
    (no C(S) command is sent) and the task reports C(changed=false); otherwise the
    values are written and verified by reading them back.
  - In check mode the unit is read and compared only; nothing is written. With
    I(force) the task reports a change, since a forced write always sends.
  - With C(--diff) the values before and after are shown as a diff.
  - A failure fails the task with the unit's stable I(error_code) (see
    the zeta7ctl man page, section ERROR CODES) beside the text, which is
    zeta7ctl's English whatever the locale of the controller or the managed
    host (the module runs zeta7ctl in English to read its refusals). Any failure of
    zeta7ctl fails the task, also one where the unit was set but its record, its
    trace or zeta7ctl's output could not be written.
options:
  port:
    description:
      - The unit's port as zeta7ctl names it, C(COM1) to C(COM256) (through the
        settings file's C([ports])) or a device path such as C(/dev/ttyUSB0).
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
    description: Retry count, 0 to 10000, or C(infinite) (also written C(-1)).
    type: raw
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
    description:
      - A file the unit's JSON record is appended to on the managed host, in check
        mode too. Its folder is made when it is missing.
    type: path
  trace:
    description: A file (or a folder, ending in C(/)) for every byte sent and received.
    type: path
  zeta7ctl:
    description: The zeta7ctl program on the managed host.
    type: path
    default: zeta7ctl
attributes:
  check_mode:
    description: Reads the unit and reports whether it would change; sends no C(S).
    support: full
  diff_mode:
    description: The four values before and after (in check mode, those asked for).
    support: full
  platform:
    description: Runs zeta7ctl on the managed host.
    support: full
    platforms: posix
notes:
  - Runs on Linux hosts. For Windows hosts see the collection's README
    (C(ansible.windows.win_command) with C(zeta7ctl.exe --json)).
author:
  - ZETA-7 settings utility developers (!UNKNOWN)
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
  ignore_errors: true

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
  description: The port or serial number as given.
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
  description:
    - The stable code of the failure, or null. zeta7ctl's codes (C(open_missing) for
      a unit that is not there, C(no_answer), C(verify_mismatch), ...), and the
      module's own C(usage) (an argument is wrong; nothing was sent),
      C(zeta7ctl_missing) (no zeta7ctl on the host), C(no_record) (zeta7ctl gave no
      record of the unit) and C(output_lost) (the unit's work was done, but its
      record, its trace or zeta7ctl's output could not be written).
  returned: always
  type: str
  sample: verify_mismatch
record:
  description: zeta7ctl's whole JSON record of the unit.
  returned: when zeta7ctl wrote one
  type: dict
"""

import os
import re
import tempfile

from ansible.module_utils.basic import AnsibleModule
from ansible.module_utils.common.text.converters import to_native
from ansible.module_utils.six import integer_types, string_types
from ansible_collections.quillbeck.zeta7.plugins.module_utils.zeta7ctl import (
    com_number, fail, find_zeta7ctl, json_records, port_problem, stderr_text)

PARAMS = ("channel", "id", "retry_count", "retry_interval")
# The ranges zeta7ctl and the settings window enforce; retry_count -1 is infinite.
RANGES = dict(channel=(7, 46), id=(0, 15), retry_count=(0, 10000), retry_interval=(0, 32767),
              timeout=(1, 60000))
SERIAL_CHARS = frozenset("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz#+-.:=@")


def retry_count_of(value):
    """retry_count as zeta7ctl takes it (-1 for infinite), or None when it is none."""
    if isinstance(value, bool):
        return None
    if isinstance(value, integer_types):
        return value
    if isinstance(value, string_types):
        text = value.strip()
        if text.lower() == "infinite":
            return -1
        if re.match(r"^-?[0-9]+$", text):
            return int(text)
    return None


def serial_problem(serial):
    """Why SERIAL cannot be an adapter's serial number in a by-id name, or None."""
    if not serial:
        return "serial is empty"
    if com_number(serial) or "/" in serial:
        return "serial %s is a port; give it as port" % serial
    if not set(serial) <= SERIAL_CHARS:
        return ("serial %r: a USB serial number in a by-id name has letters, digits and"
                " #+-.:=@ only" % serial)
    return None


def argument_problem(p):
    """The first argument zeta7ctl or the unit would refuse, as a message; None when all hold."""
    if p["port"] is not None:
        problem = port_problem("port", p["port"])
    else:
        problem = serial_problem(p["serial"])
    if problem:
        return problem
    if p["retry_count"] is None:
        return "retry_count must be a whole number (0 to 10000) or infinite"
    for key in PARAMS + ("timeout",):
        low, high = RANGES[key]
        value = p[key]
        if value is None or (key == "retry_count" and value == -1):
            continue
        if not low <= value <= high:
            extra = " or infinite" if key == "retry_count" else ""
            return "%s must be %d to %d%s, not %d" % (key, low, high, extra, value)
    if p["timeout"] is not None and p["pace"] != "fast":
        return "timeout applies with pace=fast only (fixed keeps the window's waits)"
    for key in ("settings", "record", "trace"):
        path = p[key]
        if path is not None and (not path or (key != "trace" and os.path.isdir(path))):
            return "%s must name a file: %r" % (key, path)
    if p["settings"] is not None and not os.path.isfile(p["settings"]):
        return "settings %s: no such file" % p["settings"]
    return None


def describe(values):
    if not values:
        return ""
    shown = dict(values)
    if shown.get("retry_count") == -1:
        shown["retry_count"] = "infinite"
    return "".join("%s: %s\n" % (key, shown.get(key)) for key in PARAMS)


def csv_field(text):
    return '"' + text.replace('"', '""') + '"'


def write_plan(module, name, p, result):
    """One row of a plan in the module's own temporary folder: zeta7ctl resolves a
    port or a serial number there as it does for a whole bench."""
    try:
        fd, plan = tempfile.mkstemp(prefix="zeta7-unit-", suffix=".csv", dir=module.tmpdir)
        with os.fdopen(fd, "w") as f:
            f.write("port,channel,id,retry_count,retry_interval\n")
            f.write("%s,%d,%d,%d,%d\n" % (csv_field(name), p["channel"], p["id"],
                                          p["retry_count"], p["retry_interval"]))
    except (IOError, OSError) as e:
        fail(module, result, "no_record", "zeta7_unit could not hand the unit's values to"
             " zeta7ctl: Ansible's temporary folder on this host is not writable (%s)"
             % to_native(e))
    return plan


def make_record_folder(module, path, result):
    folder = os.path.dirname(path)
    if not folder or os.path.isdir(folder):
        return
    try:
        os.makedirs(folder)
    except (IOError, OSError) as e:
        if not os.path.isdir(folder):
            fail(module, result, "usage",
                 "record %s: its folder cannot be made: %s" % (path, to_native(e)))


def refusal(err, plan, argument, name):
    """What zeta7ctl's refusal (exit 2) means for the user: (error_code, message).

    zeta7ctl runs in English (see main), so its messages about the plan are
    "<plan>: <text>" for the whole plan and "<plan> line <n>: <text>" for a row;
    the module checked the values itself, so a refusal of the unit's row that
    names the port is about the unit: its port or serial number leads to no
    device. The plan is the module's own: its name is never shown."""
    prefix = "zeta7ctl: " + plan
    lines = stderr_text(err).splitlines()
    about_plan = [line[len(prefix):] for line in lines if line.startswith(prefix)]
    for text in about_plan:
        reason = text.split(": ", 1)[-1]
        if text.startswith(" line 2: ") and name in reason:
            return "open_missing", "%s %s: %s (nothing was sent)" % (argument, name, reason)
    for text in about_plan:
        reason = text.split(": ", 1)[-1]
        if text.startswith(" line "):
            return "usage", "zeta7ctl refused the unit's values (nothing was sent): " + reason
        return "no_record", "zeta7_unit could not hand the unit's values to zeta7ctl: " + reason
    return "usage", stderr_text(err) or "zeta7ctl refused the task's arguments"


def main():
    module = AnsibleModule(
        argument_spec=dict(
            port=dict(type="str"),
            serial=dict(type="str"),
            channel=dict(type="int", required=True),
            id=dict(type="int", required=True),
            retry_count=dict(type="raw", required=True),
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
    p["retry_count"] = retry_count_of(p["retry_count"])
    argument = "port" if p["port"] is not None else "serial"
    name = p[argument]
    result = dict(changed=False, before=None, after=None, target=None, port=name, device=None,
                  version=None, write_sent=False, unit_state=None, error_code=None)
    problem = argument_problem(p)
    if problem:
        fail(module, result, "usage", problem)
    program = find_zeta7ctl(module, result)
    if p["record"]:
        make_record_folder(module, p["record"], result)

    plan = write_plan(module, name, p, result)
    cmd = [program, "apply", "--plan", plan, "--json", "--pace", p["pace"]]
    for option, key in (("--settings", "settings"), ("-b", "baud"), ("--timeout", "timeout"),
                        ("--record", "record"), ("--trace", "trace")):
        if p[key] is not None:
            cmd += [option, str(p[key])]
    # zeta7ctl's --check refuses --force: a forced write would send whatever
    # the unit holds, which the check run reports as a change.
    if module.check_mode:
        cmd.append("--check")
    elif p["force"]:
        cmd.append("--force")

    # zeta7ctl speaks the user's language; its refusals are read above, so it
    # runs in one language, English, whatever the controller's or the target's
    # locale. C.UTF-8 keeps file names and the unit's text UTF-8; LANGUAGE would
    # choose a language again under it.
    os.environ.pop("LANGUAGE", None)
    rc, out, err = module.run_command(cmd, environ_update={"LC_ALL": "C.UTF-8"})
    records = json_records(module, out, rc, result)
    if not records:
        if rc == 2:
            code, msg = refusal(err, plan, argument, name)
        else:
            code, msg = "no_record", stderr_text(err) or "zeta7ctl gave no record (exit %d)" % rc
        fail(module, result, code, msg, rc=rc)
    if len(records) != 1:
        fail(module, result, "no_record", "zeta7ctl gave %d records for one unit" % len(records),
             rc=rc)
    rec = records[0]
    result.update(
        changed=bool(rec.get("changed")) or (module.check_mode and p["force"] and
                                             rec.get("outcome") == "ok"),
        before=rec.get("before"),
        after=rec.get("after"),
        target=rec.get("target"),
        device=rec.get("device"),
        version=rec.get("version"),
        write_sent=bool(rec.get("write_sent")),
        unit_state=rec.get("unit_state"),
        error_code=rec.get("error_code"),
        record=rec,
    )
    if module._diff and rec.get("before"):
        if module.check_mode:
            after = describe(rec.get("target"))
        elif rec.get("after"):
            after = describe(rec["after"])
        elif rec.get("write_sent"):
            after = "unknown: S went out and the unit was not read back\n"
        else:
            after = describe(rec["before"])
        result["diff"] = dict(before_header="%s (before)" % name,
                              after_header="%s (after)" % name,
                              before=describe(rec["before"]), after=after)
    if rec.get("outcome") != "ok":
        fail(module, result, rec.get("error_code") or "no_record",
             rec.get("error") or "zeta7ctl: %s" % rec.get("outcome"), rc=rc)
    if rc != 0:
        # The unit's work was done, but what proves it was lost.
        fail(module, result, "output_lost",
             stderr_text(err) or "zeta7ctl ended with exit %d" % rc, rc=rc)
    module.exit_json(**result)


if __name__ == "__main__":
    main()
