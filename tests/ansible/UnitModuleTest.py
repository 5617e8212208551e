#!/usr/bin/env python3
"""The collection's modules under Debian's ansible-core, case by case, against
simulated units in a device tree of the test's own (nothing of the machine's
ports is seen or probed).

    UnitModuleTest.py SOURCE_DIR BIN_DIR

Three runs of one playbook over a table of cases: arguments that must be
refused before anything runs (the units hear not one byte), check runs (no
"S"), then runs that write (the units hear exactly the "S" the cases expect).
Each case's result is checked against its row. Exit 77 (skipped) without
ansible-playbook."""

import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

SRC, BIN = (os.path.abspath(a) for a in sys.argv[1:3])
if not shutil.which("ansible-playbook"):
    print("SKIP: ansible-playbook is not installed")
    sys.exit(77)

WORK = tempfile.mkdtemp(prefix="zeta7-module-")
DEVROOT = os.path.join(WORK, "devroot")
SERIAL = "SIM0001"
HELD = {"channel": 12, "id": 3, "retry_count": 5, "retry_interval": 1000}
NEW = {"channel": 21, "id": 4, "retry_count": "infinite", "retry_interval": 500}
NEW_READ = dict(NEW, retry_count=-1)
SIMS = []
FAILURES = []


def start_unit(name, *options):
    log = os.path.join(WORK, name + ".log")
    sim = subprocess.Popen([os.path.join(BIN, "zeta7-sim"), "--log", log] + list(options),
                           stdout=subprocess.PIPE, text=True)
    SIMS.append(sim)
    return sim.stdout.readline().strip(), log


def sent(log):
    """What a unit heard: its commands, one a line."""
    if not os.path.exists(log):
        return []
    with open(log, "rb") as f:
        return f.read().decode("latin-1").replace("\r", "\n").split("\n")


def writes(log):
    return sum(1 for line in sent(log) if line.startswith("S "))


os.makedirs(os.path.join(DEVROOT, "sys", "class", "tty"))
os.makedirs(os.path.join(DEVROOT, "dev", "serial", "by-id"))
DEV_A, LOG_A = start_unit("a")
DEV_B, LOG_B = start_unit("b")
DEV_F, LOG_F = start_unit("faulty", "--no-store")
BY_ID = os.path.join(DEVROOT, "dev", "serial", "by-id",
                     "usb-FTDI_FT232R_USB_UART_%s-if00-port0" % SERIAL)
os.symlink(DEV_B, BY_ID)
SETTINGS = os.path.join(WORK, "bench.ini")
with open(SETTINGS, "w") as f:
    f.write("[ports]\ncom1=%s\ncom3=%s\n" % (DEV_A, DEV_F))
NOT_JSON = os.path.join(WORK, "not-json-ctl")
with open(NOT_JSON, "w") as f:
    f.write("#!/bin/sh\necho 'ZETA-7 ready'\n")
os.chmod(NOT_JSON, 0o755)
FRESH_RECORD = os.path.join(WORK, "log", "zeta7", "units.jsonl")

COMMON = {"settings": SETTINGS, "zeta7ctl": os.path.join(BIN, "zeta7ctl")}


def case(name, args, expect, **how):
    row = {"name": name, "args": dict(COMMON, **args), "expect": expect}
    row.update(how)
    return row


def unit(port, **values):
    args = dict(HELD, port=port)
    args.update(values)
    return args


def usage(mentions):
    return {"failed": True, "error_code": "usage", "mentions": mentions}


# Refused before anything runs: the module names the wrong argument.
REFUSED = [
    case("channel below", unit("COM1", channel=6), usage("channel")),
    case("channel above", unit("COM1", channel=47), usage("channel")),
    case("id above", unit("COM1", id=16), usage("id")),
    case("retry_count above", unit("COM1", retry_count=10001), usage("retry_count")),
    case("retry_count below infinite", unit("COM1", retry_count=-2), usage("retry_count")),
    case("retry_count a word", unit("COM1", retry_count="often"), usage("retry_count")),
    case("retry_count a fraction", unit("COM1", retry_count=1.5), usage("retry_count")),
    case("retry_interval above", unit("COM1", retry_interval=32768), usage("retry_interval")),
    case("timeout zero", unit("COM1", timeout=0), usage("timeout")),
    case("timeout at fixed pace", unit("COM1", timeout=100, pace="fixed"), usage("timeout")),
    case("a serial number as port", unit("A1B2C3D4"), usage("port A1B2C3D4")),
    case("COM0", unit("COM0"), usage("port COM0")),
    case("COM257", unit("COM257"), usage("port COM257")),
    case("a control character in port", unit("CO\x01M1"), usage("port")),
    case("a port as serial", dict(HELD, serial="COM1"), usage("serial COM1")),
    case("an underscore in serial", dict(HELD, serial="A_B"), usage("serial")),
    case("empty serial", dict(HELD, serial=""), usage("serial")),
    case("no settings file", unit("COM1", settings=os.path.join(WORK, "none.ini")),
         usage("settings")),
    case("record a folder", unit("COM1", record=WORK), usage("record")),
    case("empty trace", unit("COM1", trace=""), usage("trace")),
    case("port and serial", unit("COM1", serial=SERIAL), {"failed": True, "mentions": "serial"}),
    case("neither port nor serial", dict(HELD), {"failed": True, "mentions": "serial"}),
    case("channel not a number", unit("COM1", channel="twelve"),
         {"failed": True, "mentions": "channel"}),
    # Refused by zeta7ctl before it sends: the unit is not there.
    case("absent port", unit("COM5"),
         {"failed": True, "error_code": "open_missing", "mentions": "port COM5"}),
    case("absent serial", dict(HELD, serial="NOPE0001"),
         {"failed": True, "error_code": "open_missing", "mentions": "serial NOPE0001"}),
    case("no zeta7ctl there", unit("COM1", zeta7ctl=os.path.join(WORK, "none")),
         {"failed": True, "error_code": "zeta7ctl_missing"}),
    case("no zeta7ctl on PATH", unit("COM1", zeta7ctl="zeta7ctl-not-installed"),
         {"failed": True, "error_code": "zeta7ctl_missing"}),
    case("output not JSON", unit("COM1", zeta7ctl=NOT_JSON),
         {"failed": True, "error_code": "no_record", "mentions": "ZETA-7 ready"}),
]

# Check runs: read and compare, no "S".
CHECKED = [
    case("check, would change", dict(NEW, port="COM1"),
         {"changed": True, "diff_after": "retry_count: infinite"}, check=True),
    case("check, holds the values", unit("COM1"), {"changed": False}, check=True),
    case("check with force", unit("COM1", force=True), {"changed": True}, check=True),
    case("check, record in a new folder", unit("COM1", record=FRESH_RECORD),
         {"changed": False}, check=True),
]

# Runs that write; the units count every "S".
WRITTEN = [
    case("holds the values", unit("COM1"), {"changed": False, "unit_state": "unchanged"}),
    case("force", unit("COM1", force=True), {"changed": False, "write_sent": True}),
    case("change", dict(NEW, port="COM1"),
         {"changed": True, "after": NEW_READ, "diff_after": "channel: 21"}),
    case("again", dict(NEW, port="COM1"), {"changed": False}),
    case("by serial", dict(NEW, serial=SERIAL), {"changed": True, "device": BY_ID}),
    case("trace lost", unit("COM1", trace="/dev/full"),
         {"failed": True, "changed": True, "error_code": "output_lost", "mentions": "/dev/full"}),
    case("record lost", dict(NEW, port="COM1", record="/dev/full"),
         {"failed": True, "changed": True, "error_code": "output_lost", "mentions": "/dev/full"}),
    case("unit keeps its values", dict(NEW, port="COM3"),
         {"failed": True, "error_code": "verify_mismatch", "diff_after": "channel: 12"}),
]
WRITES = {LOG_A: 4, LOG_B: 1, LOG_F: 1}

PLAYBOOK = """
- hosts: localhost
  gather_facts: false
  environment: {ZETA7_DEVICE_ROOT: "%s"}
  tasks:
    - quillbeck.zeta7.zeta7_unit:
%s
      loop: "{{ cases }}"
      loop_control: {label: "{{ item.name }}"}
      check_mode: "{{ item.check | default(false) }}"
      diff: true
      register: ran
      ignore_errors: true
    - ansible.builtin.copy:
        dest: "{{ out }}"
        content: "{{ ran.results | to_json }}"
      check_mode: false
""" % (DEVROOT, "\n".join("        %s: \"{{ item.args['%s'] | default(omit) }}\"" % (k, k) for k in (
    "port", "serial", "channel", "id", "retry_count", "retry_interval", "pace", "timeout",
    "force", "settings", "record", "trace", "zeta7ctl")))


def play(name, cases):
    playbook = os.path.join(WORK, "cases.yml")
    with open(playbook, "w") as f:
        f.write(PLAYBOOK)
    out = os.path.join(WORK, name + ".json")
    with open(os.path.join(WORK, name + ".vars.json"), "w") as f:
        json.dump({"cases": cases, "out": out}, f)
    env = dict(os.environ, HOME=os.path.join(WORK, "home"), ANSIBLE_NOCOLOR="1",
               ANSIBLE_LOCAL_TEMP=os.path.join(WORK, "home", "tmp"),
               ANSIBLE_COLLECTIONS_PATH=os.path.join(WORK, "collections"),
               ANSIBLE_LOCALHOST_WARNING="0", ANSIBLE_INVENTORY_UNPARSED_WARNING="0",
               ANSIBLE_PYTHON_INTERPRETER=sys.executable)
    # A Japanese user's environment, as gettext reads it: the module must still
    # read zeta7ctl's refusals (it runs zeta7ctl in English).
    env["LANGUAGE"] = "ja"
    if not any(env.get(k) for k in ("LC_ALL", "LC_MESSAGES", "LANG")):
        env["LC_MESSAGES"] = "C.UTF-8"
    run = subprocess.run(["ansible-playbook", "-i", "localhost,", "-c", "local", playbook,
                          "-e", "@" + os.path.join(WORK, name + ".vars.json")],
                         env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if not os.path.exists(out):
        sys.exit("FAILED: %s: no results (exit %d):\n%s" % (name, run.returncode, run.stdout))
    with open(out) as f:
        results = json.load(f)
    for row, result in zip(cases, results):
        check(row, result)
    return run.stdout


def check(row, r):
    want, name = row["expect"], row["name"]

    def fault(what):
        FAILURES.append("%s: %s\n  result: %s" % (name, what, json.dumps(r, ensure_ascii=False)))

    if bool(r.get("failed")) != want.get("failed", False):
        fault("failed is %s" % r.get("failed"))
    for key in ("changed", "error_code", "unit_state", "write_sent", "after", "device"):
        if key in want and r.get(key) != want[key]:
            fault("%s is %r, not %r" % (key, r.get(key), want[key]))
    msg = r.get("msg", "")
    if "mentions" in want and want["mentions"] not in msg:
        fault("the message does not name %r" % want["mentions"])
    if ".csv" in msg or "zeta7-unit-" in msg or "計画" in msg:
        fault("the message speaks of a plan file the user never wrote")
    if "diff_after" in want and want["diff_after"] not in r.get("diff", {}).get("after", ""):
        fault("the diff's after has no %r" % want["diff_after"])


def collection():
    path = os.path.join(WORK, "collections", "ansible_collections", "quillbeck")
    os.makedirs(path)
    os.symlink(os.path.join(SRC, "ansible", "quillbeck", "zeta7"), os.path.join(path, "zeta7"))


try:
    collection()
    start = time.time()
    play("refused", REFUSED)
    heard = [log for log in (LOG_A, LOG_B, LOG_F) if any(sent(log))]
    if heard:
        FAILURES.append("refused arguments reached a unit: %s" % heard)
    play("checked", CHECKED)
    if any(writes(log) for log in (LOG_A, LOG_B, LOG_F)):
        FAILURES.append("a check run sent S")
    if not os.path.isfile(FRESH_RECORD):
        FAILURES.append("no record in a folder that was not there")
    play("written", WRITTEN)
    for log, count in WRITES.items():
        if writes(log) != count:
            FAILURES.append("%s heard %d S, not %d" % (log, writes(log), count))
    elapsed = time.time() - start
finally:
    for sim in SIMS:
        sim.terminate()
        sim.wait()
    shutil.rmtree(WORK, ignore_errors=True)

if FAILURES:
    print("FAILED:\n" + "\n".join(FAILURES))
    sys.exit(1)
total = len(REFUSED) + len(CHECKED) + len(WRITTEN)
print("%d passed, 0 failed (%.1f s)" % (total, elapsed))
