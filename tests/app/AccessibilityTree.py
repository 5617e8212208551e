"""What a screen reader hears of the main window, read on the accessibility
bus as one reads it (AT-SPI through pyatspi):

  /usr/bin/python3 AccessibilityTree.py PROGRAM SIM [--print]

On a private Xvfb with the accessibility bus up, the program starts from a
copy of its folder with COM1 leading to the simulated unit. Every field and
list must be labelled by its caption, every field described by its range,
every control reachable by keyboard; Connect must be heard on the version
line; a message box must be read with its text and buttons. --print writes
the tree as read. It runs on a session bus of its own (dbus-run-session),
never on the desktop's. Exits 77 (skipped) when something it needs is absent.
"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SKIP = 77

if os.environ.get("ZETA7_PRIVATE_BUS") != str(os.getppid()):
    runner = shutil.which("dbus-run-session")
    if not runner:
        print("SKIP: dbus-run-session is not installed")
        sys.exit(SKIP)
    # exec keeps the process id: the bus is ours when our parent has it.
    os.environ["ZETA7_PRIVATE_BUS"] = str(os.getpid())
    os.execv(runner, [runner, "--", sys.executable] + sys.argv)

try:
    import gi

    gi.require_version("Atspi", "2.0")
    from gi.repository import Atspi, Gio, GLib
    import pyatspi
except (ImportError, ValueError) as e:
    print(f"SKIP: the AT-SPI client library is not installed ({e})")
    sys.exit(SKIP)

LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
for tool in ("Xvfb",):
    if not shutil.which(tool):
        print(f"SKIP: {tool} is not installed")
        sys.exit(SKIP)
if not os.access(LAUNCHER, os.X_OK):
    print("SKIP: at-spi-bus-launcher is not installed")
    sys.exit(SKIP)

program, sim = sys.argv[1], sys.argv[2]
printing = "--print" in sys.argv[3:]
# A step that waits on another process gives up after this long.
DEADLINE_S = 90

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what)


def wait_for(condition, what):
    """Runs the main loop until condition() holds; the bus answers arrive
    through it. Gives up at the deadline."""
    end = time.monotonic() + DEADLINE_S
    context = GLib.MainContext.default()
    while time.monotonic() < end:
        try:
            value = condition()
        except GLib.Error:
            # An object that went away while it was read: look again.
            value = None
        if value:
            return value
        # Wake up at least every 50 ms to look again.
        GLib.timeout_add(50, lambda: False)
        context.iteration(True)
    raise SystemExit(f"FAIL: {what} (gave up after {DEADLINE_S} s)")


work = tempfile.mkdtemp()
children = []


def cleanup():
    for child in reversed(children):
        if child.poll() is None:
            child.send_signal(signal.SIGTERM)
            try:
                child.wait(5)
            except subprocess.TimeoutExpired:
                child.kill()
    shutil.rmtree(work, ignore_errors=True)


def start(args, **kw):
    child = subprocess.Popen(args, **kw)
    children.append(child)
    return child


def relation_targets(acc, kind):
    names = []
    for relation in acc.getRelationSet():
        if relation.getRelationType() == kind:
            names += [relation.getTarget(i) for i in range(relation.getNTargets())]
    return names


def describe(acc):
    role = acc.getRoleName()
    text = f"{role} {acc.name!r}"
    if acc.description:
        text += f" description={acc.description!r}"
    labels = [t.name for t in relation_targets(acc, pyatspi.RELATION_LABELLED_BY)]
    if labels:
        text += f" labelled-by={labels}"
    states = acc.getState()
    if states.contains(pyatspi.STATE_FOCUSABLE):
        text += " focusable"
    if not states.contains(pyatspi.STATE_ENABLED):
        text += " disabled"
    return text


def walk(acc, depth=0, out=None):
    out = [] if out is None else out
    out.append((depth, acc))
    for i in range(acc.childCount):
        child = acc.getChildAtIndex(i)
        if child is not None:
            walk(child, depth + 1, out)
    return out


def find(root, pred):
    return [acc for _, acc in walk(root) if pred(acc)]


try:
    # The display, then the bus, then the program, so that it finds both.
    read_fd, write_fd = os.pipe()
    start(["Xvfb", "-displayfd", str(write_fd), "-nolisten", "tcp", "-screen", "0",
           "1280x800x24"], pass_fds=(write_fd,), stderr=subprocess.DEVNULL)
    os.close(write_fd)
    with os.fdopen(read_fd) as pipe:
        display = pipe.readline().strip()
    if not display:
        raise SystemExit("FAIL: Xvfb did not start")
    os.environ["DISPLAY"] = ":" + display

    session = Gio.bus_get_sync(Gio.BusType.SESSION, None)

    def has_owner(name):
        reply = session.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                  "org.freedesktop.DBus", "NameHasOwner",
                                  GLib.Variant("(s)", (name,)), None,
                                  Gio.DBusCallFlags.NONE, -1, None)
        return reply.unpack()[0]

    start([LAUNCHER, "--launch-immediately"], stderr=subprocess.DEVNULL)
    wait_for(lambda: has_owner("org.a11y.Bus"), "the accessibility bus did not come up")

    simulator = start([sim, "--link", os.path.join(work, "sim-tty"), "--quit-on-eof"],
                      stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    if not simulator.stdout.readline():
        raise SystemExit("FAIL: the simulated unit did not start")

    name = os.path.basename(program)
    shutil.copy(program, work)
    library = os.path.join(os.path.dirname(program), "libUserDirKit.so")
    if os.path.exists(library):
        shutil.copy(library, work)
    with open(os.path.join(work, name + ".ini"), "w") as ini:
        ini.write(f"[ports]\ncom1={os.path.join(work, 'sim-tty')}\n")
    env = dict(os.environ, HOME=work, XDG_CONFIG_HOME=os.path.join(work, "config"),
               QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
    env["ASAN_OPTIONS"] = ":".join(filter(None, [env.get("ASAN_OPTIONS"), "detect_leaks=0"]))
    env.pop("WAYLAND_DISPLAY", None)
    start([os.path.join(work, name)], env=env, cwd=work)

    desktop = pyatspi.Registry.getDesktop(0)

    def main_window():
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is None:
                continue
            for j in range(app.childCount):
                window = app.getChildAtIndex(j)
                if window is not None and window.name.startswith("ZETA-7設定ユーティリティ") \
                        and find(window, lambda a: a.name == "ボーレート"):
                    return app, window
        return None

    app, window = wait_for(main_window, "the main window did not appear on the bus")

    if printing:
        for depth, acc in walk(window):
            print("  " * depth + describe(acc))

    # Every field and list: its role, its label, its range.
    fields = [
        (pyatspi.ROLE_COMBO_BOX, "COMポート", None),
        (pyatspi.ROLE_COMBO_BOX, "ボーレート", None),
        (pyatspi.ROLE_TEXT, "チャネル", "(7～46)"),
        (pyatspi.ROLE_TEXT, "ID", "(0～15)"),
        (pyatspi.ROLE_TEXT, "リトライ回数", "(0～10000)"),
        (pyatspi.ROLE_TEXT, "リトライ間隔[msec]", "(0～32767)"),
    ]
    for role, label, description in fields:
        labelled = find(window, lambda a: a.getRole() == role and [
            t.name for t in relation_targets(a, pyatspi.RELATION_LABELLED_BY)] == [label])
        check(len(labelled) == 1, f"one {role} labelled by {label!r}, found {len(labelled)}")
        if not labelled:
            continue
        field = labelled[0]
        # A text field is named by its label; a list by its value.
        if role == pyatspi.ROLE_TEXT:
            check(field.name == label, f"the field labelled {label!r} is named {field.name!r}")
        check(field.description == (description or ""),
              f"{label!r} is described {field.description!r}, not {description!r}")
        label_acc = relation_targets(field, pyatspi.RELATION_LABELLED_BY)[0]
        check([t.name for t in relation_targets(label_acc, pyatspi.RELATION_LABEL_FOR)]
              == [field.name], f"{label!r} does not say which field it labels")

    # Everything a person works with takes the keyboard focus.
    for role in (pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_COMBO_BOX,
                 pyatspi.ROLE_TEXT):
        for acc in find(window, lambda a: a.getRole() == role):
            check(acc.getState().contains(pyatspi.STATE_FOCUSABLE),
                  f"{describe(acc)} cannot take the keyboard focus")

    # The version line is the status line, and Connect is heard on it.
    status = find(window, lambda a: a.getRole() == pyatspi.ROLE_STATUS_BAR)
    check(len(status) == 1, f"one status line, found {len(status)}")
    heard = []

    def on_event(event):
        if event.source is not None and event.source.getRole() == pyatspi.ROLE_STATUS_BAR:
            heard.append((event.type, event.source.name))

    pyatspi.Registry.registerEventListener(on_event, "object:property-change:accessible-name")

    def button(caption):
        found = find(window, lambda a: a.getRole() == pyatspi.ROLE_PUSH_BUTTON
                     and a.name == caption)
        check(len(found) == 1, f"one button {caption!r}, found {len(found)}")
        return found[0]

    connect = button("接続")
    connect.queryAction().doAction(0)
    line = wait_for(lambda: [n for _, n in heard if n.startswith("ファームウェアバージョン ")],
                    "Connect was not heard on the version line")
    print("heard on the status line:", line[0])
    check(status and status[0].name == line[0], "the status line does not read what was heard")

    # A message box: its text and its buttons, then Cancel.
    button("パラメータ書き込み").queryAction().doAction(0)

    def message_box():
        for j in range(app.childCount):
            box = app.getChildAtIndex(j)
            if box is not None and find(box, lambda a: a.name == "パラメータをZETA-7に書き込みます"):
                return box
        return None

    box = wait_for(message_box, "the write question did not appear on the bus")
    if printing:
        for depth, acc in walk(box):
            print("  " * depth + describe(acc))
    check(box.getRole() in (pyatspi.ROLE_DIALOG, pyatspi.ROLE_ALERT),
          f"the message box is a {box.getRoleName()}")
    answers = sorted(a.name for a in find(box, lambda a: a.getRole() == pyatspi.ROLE_PUSH_BUTTON))
    check(answers == sorted(["OK", "キャンセル"]), f"the box's buttons read {answers}")
    cancel = find(box, lambda a: a.getRole() == pyatspi.ROLE_PUSH_BUTTON and a.name == "キャンセル")
    if cancel:
        cancel[0].queryAction().doAction(0)
        wait_for(lambda: message_box() is None, "Cancel did not close the box")
finally:
    cleanup()

if failures:
    print(f"{len(failures)} failure(s)")
    sys.exit(1)
print("the window reads as it should")
