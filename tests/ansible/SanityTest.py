"""ansible-test sanity on the collection, offline, with Debian's packages.

    SanityTest.py SOURCE_DIR

ansible-test gives each test a virtual environment and installs its pinned
tools there with pip from the network. Here each environment sees the
system's packages instead (python3-voluptuous, pylint, pycodestyle, yamllint,
PyYAML, Jinja2 from Debian) and nothing is installed. Run with the Python
that ansible-test runs on (the script starts it again with that one when
another runs it); exit 77 (skipped) without ansible-test.

Skipped, and why:
  changelog  antsibull-changelog is not packaged in Debian 12
  pslint     PowerShell (PSScriptAnalyzer) is not packaged in Debian 12; the
             collection has no PowerShell either
"""

import os
import shutil
import sys
import tempfile

SKIPPED = ("changelog", "pslint")

try:
    from ansible_test._internal import main as ansible_test_main
    from ansible_test._internal.commands import sanity
    from ansible_test._internal import venv
except ImportError:
    # Run again with the Python that ansible-test names in its first line.
    program = shutil.which("ansible-test")
    if not program:
        print("SKIP: ansible-test is not installed")
        sys.exit(77)
    with open(program) as f:
        python = f.readline()[2:].strip().split()[0]
    if os.path.realpath(python) == os.path.realpath(sys.executable):
        print("SKIP: ansible-test's modules are not importable by %s" % python)
        sys.exit(77)
    os.execv(python, [python] + sys.argv)

for module in ("voluptuous", "yaml", "jinja2", "pylint", "pycodestyle", "yamllint"):
    try:
        __import__(module)
    except ImportError:
        print("SKIP: %s is not installed (scripts/setup.sh installs it)" % module)
        sys.exit(77)

create_orig = venv.create_virtual_environment


def system_environment(args, python, path, system_site_packages=False, pip=False):
    return create_orig(args, python, path, system_site_packages=True, pip=False)


sanity.create_virtual_environment = system_environment
sanity.run_pip = lambda *args, **kwargs: None

source = os.path.abspath(sys.argv[1])
work = tempfile.mkdtemp(prefix="zeta7-sanity-")
collection = os.path.join(work, "ansible_collections", "quillbeck", "zeta7")
shutil.copytree(os.path.join(source, "ansible", "quillbeck", "zeta7"), collection)
os.environ["HOME"] = os.path.join(work, "home")
os.chdir(collection)
version = "%d.%d" % sys.version_info[:2]
sys.argv = ["ansible-test", "sanity", "--color", "no", "--python", version]
for test in SKIPPED:
    sys.argv += ["--skip-test", test]
try:
    ansible_test_main()
except SystemExit as e:
    code = e.code
else:
    code = 0
finally:
    os.chdir("/")
    shutil.rmtree(work, ignore_errors=True)
print("ansible-test sanity: %s (skipped: %s)" % ("passed" if code in (0, None) else "FAILED",
                                                ", ".join(SKIPPED)))
sys.exit(0 if code in (0, None) else 1)
