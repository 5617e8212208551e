# Copyright (c) 2026 the ZETA-7 settings utility developers
# MIT License (see LICENSE in the collection)
"""What both modules need of zeta7ctl: finding the program, checking a port
name as zeta7ctl reads it, and reading its --json lines.

Every failure here ends the module with a message in the user's terms and
one of the collection's error codes; nothing is run when an argument is
wrong."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import json
import os
import re

# A COM name as zeta7ctl reads it: COM in any case, 1 to 256 written plainly.
_COM_NAME = re.compile(r"^[Cc][Oo][Mm]([1-9][0-9]{0,2})$")
_CONTROL = re.compile(u"[\x00-\x1f\x7f]")


def com_number(name):
    """The number of a COM name, or 0 when the name is none."""
    match = _COM_NAME.match(name)
    number = int(match.group(1)) if match else 0
    return number if number <= 256 else 0


def port_problem(argument, name):
    """Why zeta7ctl would not take NAME as a port (COMn or a device path), or None."""
    if not name:
        return "%s is empty" % argument
    if _CONTROL.search(name) or name != name.strip():
        return "%s %r holds a control character or a surrounding blank" % (argument, name)
    if "/" in name or com_number(name):
        return None
    if _COM_NAME.match(name) or re.match(r"^[Cc][Oo][Mm]0", name):
        return "%s %s: COM names are COM1 to COM256, the number written plainly" % (argument, name)
    hint = "; an adapter's USB serial number goes in serial" if argument == "port" else ""
    return "%s %s is neither a COM name (COM1 to COM256) nor a device path%s" % (
        argument, name, hint)


def fail(module, result, code, msg, **more):
    """Ends the module: failed, with the error code and the message."""
    values = dict(result, **more)
    values["error_code"] = code
    module.fail_json(msg=msg, **values)


def find_zeta7ctl(module, result):
    """The zeta7ctl program to run; fails the module when the host has none."""
    program = module.params["zeta7ctl"]
    if "/" in program:
        if os.path.isfile(program) and os.access(program, os.X_OK):
            return program
        reason = "no such file" if not os.path.exists(program) else "not an executable file"
        fail(module, result, "zeta7ctl_missing",
             "zeta7ctl %s: %s (the zeta7 package installs it)" % (program, reason))
    found = module.get_bin_path(program)
    if not found:
        fail(module, result, "zeta7ctl_missing",
             "zeta7ctl: %s is not on this host's PATH (the zeta7 package installs it;"
             " or set zeta7ctl to its path)" % program)
    return found


def json_records(module, out, rc, result):
    """zeta7ctl's --json lines as dicts; fails the module on any other output."""
    records = []
    for line in out.splitlines():
        if not line.strip():
            continue
        try:
            record = json.loads(line)
        except ValueError:
            record = None
        if not isinstance(record, dict):
            fail(module, result, "no_record", "zeta7ctl printed something other than its JSON"
                 " records (exit %d): %s" % (rc, line[:200]), rc=rc)
        records.append(record)
    return records


def stderr_text(err):
    """zeta7ctl's messages without the pointer to its own --help."""
    lines = [line for line in err.splitlines()
             if line.strip() and "zeta7ctl --help" not in line]
    return "\n".join(lines)
