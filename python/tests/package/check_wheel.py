#!/usr/bin/env python3
"""The package as a Python project gets it: pip builds a wheel from the source tree (offline, with
no build isolation), the wheel installs into a clean virtualenv (no system site packages, so no
PyYAML and no pydantic), and there it loads and rejects documents; mypy reads its types through a
host's drop-in module (a strict host too), and mypy's stubtest holds the stubs against the
installed package, the differences in python/packaging/stubtest-allowlist.txt apart.

usage: check_wheel.py SOURCE_DIR WORK_DIR [PYTHON]
Besides Debian's interpreter, the wheel is built for PYTHON, or else for the newest other CPython
minor version found on the machine (pyenv's, /usr/local's); none found, that part is skipped. A
CPython older than the package supports, where one is found, must be refused at once.
"""

import glob
import os
import shutil
import signal
import subprocess
import sys
import textwrap
import zipfile

LOAD = textwrap.dedent("""
    import sys
    from tarnwick_config import config_vpc_migration as cvm
    config = cvm.load_from_yaml(sys.argv[1])
    assert str(config.account_info[0].regions[0].vpcs[0].crvn_cidr) == "10.220.1.0/24"
    try:
        cvm.build_document({"id": "nope"})
    except cvm.ValidationError as error:
        assert error.errors(), error
    else:
        raise AssertionError("an invalid document was accepted")
    try:
        cvm.load_from_yaml(sys.argv[2])
    except cvm.YamlError as error:
        assert error.line, error
    else:
        raise AssertionError("malformed YAML was accepted")
    for optional in ("yaml", "pydantic"):
        assert optional not in sys.modules, optional + " was imported"
    print("loaded and rejected under", sys.version.split()[0])
""")

HOST_OK = textwrap.dedent("""
    from tarnwick.core.config_vpc_migration import DiscoveryConfiguration, VPCConfig, load_from_yaml

    def first_cidr(path: str) -> str:
        config: DiscoveryConfiguration = load_from_yaml(path)
        vpc = config.account_info[0].regions[0].vpcs[0]
        return str(vpc.crvn_cidr) + config.account_info[0].regions[0].region

    def new_vpc() -> VPCConfig:
        return VPCConfig(vpc_id="vpc-1")  # the one required field; the others may be left out
""")
# Host scripts mypy must refuse, and what it must say: a misspelt field, a section that may be
# absent read without a test, the tags read as the list they were given as, a fault's place that
# may be unknown read without a test.
HOST_FAULTS = [
    (HOST_OK.replace("vpc.crvn_cidr", "vpc.crvn_cidrr"),
     '"VPCConfig" has no attribute "crvn_cidrr"'),
    (HOST_OK + "\ndef role() -> str:\n    return load_from_yaml('x').tgw.tgw_role\n",
     'Item "Dict[str, Any]" of "Union[TGWConfig, Dict[str, Any]]" has no attribute "tgw_role"'),
    (HOST_OK + "\ndef tag() -> None:\n    cloud = load_from_yaml('x').terraform.tf_cloud\n"
     "    assert cloud and cloud.tags\n    cloud.tags.append('x')\n",
     '"str" has no attribute "append"'),
    (HOST_OK + "\nfrom tarnwick.core.config_vpc_migration import ValidationError\n\n"
     "def line(error: ValidationError) -> int:\n    at, _ = error.positions()[0]\n    return at\n",
     '"None" object is not iterable'),
]
MIN_PYTHON = (3, 9)


def run(command, **kwargs):
    print("$", " ".join(command), flush=True)
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            text=True, **kwargs)
    return result.returncode, result.stdout


def must(command, **kwargs):
    status, out = run(command, **kwargs)
    if status != 0:
        print(out)
        raise SystemExit(f"failed ({status}): {' '.join(command)}")
    return out


def build_and_install(python, source, work):
    tag = "py" + must([python, "-c", "import sys; print('%d%d' % sys.version_info[:2])"]).strip()
    wheels = os.path.join(work, tag, "wheels")
    shutil.rmtree(wheels, ignore_errors=True)
    # The build folder is kept between runs, so that a second run builds incrementally.
    must([python, "-m", "pip", "wheel", "-v", "--no-build-isolation", "--no-deps", "--no-index",
          "-w", wheels, "--config-settings", "build-dir=" + os.path.join(work, tag, "build"), source])
    wheel = glob.glob(os.path.join(wheels, "*.whl"))
    assert len(wheel) == 1, wheel
    venv = os.path.join(work, tag, "venv")
    shutil.rmtree(venv, ignore_errors=True)
    must([python, "-m", "venv", venv])
    venv_python = os.path.join(venv, "bin", "python")
    must([venv_python, "-m", "pip", "install", "--no-index", "--no-deps", wheel[0]])
    with zipfile.ZipFile(wheel[0]) as archive:
        metadata = next(archive.read(n).decode() for n in archive.namelist()
                        if n.endswith(".dist-info/METADATA"))
    floor = "Requires-Python: >=%d.%d" % MIN_PYTHON
    assert floor in metadata.splitlines(), f"the wheel's METADATA lacks {floor}:\n{metadata}"
    return wheel[0], venv_python


def check_types(venv_python, source, work, examples):
    """mypy, as the host runs it, on a host package whose config module is the drop-in; then the
    strict host script runs there, so that what its types say is what it meets."""
    host = os.path.join(work, "host")
    shutil.rmtree(host, ignore_errors=True)
    os.makedirs(os.path.join(host, "tarnwick", "core"))
    for package in ("tarnwick", "tarnwick/core"):
        open(os.path.join(host, package, "__init__.py"), "w").close()
    shutil.copy(os.path.join(source, "python", "dropin", "config_vpc_migration.py"),
                os.path.join(host, "tarnwick", "core"))
    shutil.copy(os.path.join(source, "python", "tests", "package", "strict_host.py"), host)
    mypy = ["/usr/bin/python3", "-m", "mypy", "--no-incremental", "--python-executable",
            venv_python]
    for text, expected in [(HOST_OK, None)] + HOST_FAULTS:
        with open(os.path.join(host, "script.py"), "w") as f:
            f.write(text)
        status, out = run(mypy + ["script.py"], cwd=host)
        if (status != 0) if expected is None else expected not in out:
            print(text, out, sep="\n")
            raise SystemExit("mypy " + (f"missed: {expected}" if expected else
                                        "reported faults in a correct host script"))
    status, out = run(mypy + ["--strict", "strict_host.py"], cwd=host)
    if status != 0:
        print(out)
        raise SystemExit("mypy --strict reported faults in a correct host script")
    print(must([venv_python, "strict_host.py", os.path.join(examples, "full.yaml"),
                os.path.join(examples, "invalid.yaml"), os.path.join(work, "malformed.yaml")],
               cwd=host))
    print("mypy: the correct scripts clean (one --strict), each fault reported")


def check_stubs(wheel, source, work):
    """stubtest imports the package to hold it against its stubs, so it runs in an interpreter
    that has both: a virtualenv of its own that sees Debian's mypy, the wheel installed in it
    ahead of any other copy of the package on the machine."""
    venv = os.path.join(work, "stubtest-venv")
    shutil.rmtree(venv, ignore_errors=True)
    must(["/usr/bin/python3", "-m", "venv", "--system-site-packages", venv])
    python = os.path.join(venv, "bin", "python")
    must([python, "-m", "pip", "install", "--no-index", "--no-deps", wheel])
    where = must([python, "-c", "import tarnwick_config; print(tarnwick_config.__file__)"],
                 cwd=work)
    assert where.startswith(venv), f"stubtest would check another copy: {where}"
    allowlist = os.path.join(source, "python", "packaging", "stubtest-allowlist.txt")
    print(must([python, "-m", "mypy.stubtest", "--allowlist", allowlist, "tarnwick_config"],
               cwd=work))


def refuse_old(python, source, work):
    """A build for an interpreter older than the package supports fails at once, saying why."""
    build = os.path.join(work, "too-old")
    shutil.rmtree(build, ignore_errors=True)
    command = [python, "-m", "pip", "wheel", "-v", "--no-build-isolation", "--no-deps",
               "--no-index", "-w", os.path.join(build, "wheels"), "--config-settings",
               "build-dir=" + os.path.join(build, "build"), source]
    print("$", " ".join(command), flush=True)
    # A session of its own, so that a build that goes on is stopped with all its compilers.
    with subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                          start_new_session=True) as build_process:
        try:
            out, _ = build_process.communicate(timeout=120)
        except subprocess.TimeoutExpired:
            os.killpg(build_process.pid, signal.SIGKILL)
            raise SystemExit(f"{python}: the build was not refused at once") from None
    wanted = "needs CPython %d.%d or later" % MIN_PYTHON
    if build_process.returncode == 0 or wanted not in out:
        print(out)
        raise SystemExit(f"{python}: the build was not refused with \"{wanted}\"")
    print(f"refused for {python}, as it should be")


def check_command(venv_python, examples):
    """The wheel puts the tool on the environment's PATH: the compiled binary itself, found and
    started from there, with no Python on its way."""
    bin_dir = os.path.dirname(venv_python)
    command = shutil.which("tarnwick-config", path=bin_dir)
    assert command, "the wheel put no tarnwick-config in " + bin_dir
    with open(command, "rb") as f:
        assert f.read(4) == b"\x7fELF", command + " is not the compiled tool"
    env = dict(os.environ, PATH=bin_dir + os.pathsep + "/usr/bin:/bin")
    for args, status, said in ((["--version"], 0, "tarnwick-config "),
                               (["check", os.path.join(examples, "full.yaml")], 0, ": valid ("),
                               (["check", "--format", "concise",
                                 os.path.join(examples, "invalid.yaml")], 1, ": error: ")):
        result = subprocess.run(["tarnwick-config"] + args, env=env, capture_output=True,
                                text=True)
        if result.returncode != status or said not in result.stdout + result.stderr:
            print(result.stdout, result.stderr)
            raise SystemExit(f"tarnwick-config {' '.join(args)} from the wheel: status "
                             f"{result.returncode}, expected {status} and {said!r}")
    print("the wheel's tarnwick-config runs from", bin_dir)


def version_of(python):
    try:
        out = subprocess.run([python, "-c", "import sys, sysconfig, os; print('%d.%d' % "
                              "sys.version_info[:2], os.path.exists(os.path.join("
                              "sysconfig.get_paths()['include'], 'Python.h')))"],
                             capture_output=True, text=True, timeout=60).stdout.split()
    except OSError:
        return None
    return tuple(map(int, out[0].split("."))) if out and out[-1] == "True" else None


def other_cpythons():
    """(the newest CPython of another minor version than Debian's, the newest one older than the
    package supports), each with its headers, or None."""
    debian = version_of("/usr/bin/python3")
    root = os.environ.get("PYENV_ROOT", os.path.expanduser("~/.pyenv"))
    supported, old = {}, {}
    for python in sorted(glob.glob(os.path.join(root, "versions", "*", "bin", "python3")) +
                         glob.glob("/usr/local/bin/python3.*[0-9]")):
        version = version_of(python)
        if version and version[0] == 3 and version != debian:
            (supported if version >= MIN_PYTHON else old)[version] = python
    return tuple(found[max(found)] if found else None for found in (supported, old))


def main():
    source, work = sys.argv[1], sys.argv[2]
    examples = os.path.join(source, "examples")
    malformed = os.path.join(work, "malformed.yaml")
    os.makedirs(work, exist_ok=True)
    with open(malformed, "w") as f:
        f.write("a: [1, 2\n")
    other, old = other_cpythons()
    other = sys.argv[3] if len(sys.argv) > 3 else other
    pythons = ["/usr/bin/python3"] + ([other] if other else [])
    if not other:
        print("no other CPython with headers on this machine: built for Debian's only")
    for python in pythons:
        wheel, venv_python = build_and_install(python, source, work)
        print(must([venv_python, "-I", "-c", LOAD, os.path.join(examples, "full.yaml"),
                    malformed], cwd=work))
        if python == "/usr/bin/python3":
            check_command(venv_python, examples)
            check_types(venv_python, source, work, examples)
            check_stubs(wheel, source, work)
    if old:
        refuse_old(old, source, work)
    else:
        print("no CPython older than %d.%d with headers on this machine: its refusal unchecked"
              % MIN_PYTHON)


if __name__ == "__main__":
    main()
