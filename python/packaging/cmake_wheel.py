"""The build backend of the Python package: the project's CMake build makes the package, this
module only drives it and packs the result as a wheel.

It needs nothing but the interpreter that runs it (and CMake with the project's build
dependencies), so `pip wheel --no-build-isolation .`, `pip install .` and `python3 -m build` work
with any CPython on the machine, none of which has to carry a build tool of its own.

config_settings (pip's --config-settings): build-dir (default build/wheel-<python tag> in the
source tree, kept between builds so that a second build is incremental) and jobs.
"""

import base64
import hashlib
import io
import os
import re
import subprocess
import sys
import sysconfig
import tarfile
import zipfile

_ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
_NAME = "tarnwick_config"  # the distribution's name, normalised as wheel file names want it
_PACKAGE = "tarnwick_config"
# What an sdist leaves out: build trees, the editor tests' npm packages, caches.
_SKIPPED = {".git", "build", "node_modules", "__pycache__", ".cache", "dist"}
# The command-line tool travels in the wheel as its scripts, so pip puts it on the environment's
# PATH: the binary the CMake build makes, started directly.
_COMMAND = "tarnwick-config"
# The compiled module uses the C API of 3.9 (PyObject_CallOneArg).
_MIN_PYTHON = (3, 9)


def _require_supported_python():
    """A build for an interpreter the module cannot serve stops at once, not after the compile."""
    if sys.version_info[:2] < _MIN_PYTHON:
        raise RuntimeError("tarnwick-config needs CPython %d.%d or later; this is %d.%d"
                           % (_MIN_PYTHON + tuple(sys.version_info[:2])))


def _version():
    with open(os.path.join(_ROOT, "CMakeLists.txt"), encoding="utf-8") as f:
        found = re.search(r"project\(\w+\s+VERSION\s+([0-9.]+)", f.read())
    if not found:
        raise RuntimeError("CMakeLists.txt names no project VERSION")
    return found.group(1)


def _project_table():
    """The [project] strings of pyproject.toml that METADATA repeats (no TOML reader before 3.11,
    and these are plain `key = "text"` lines)."""
    table, inside = {}, False
    with open(os.path.join(_ROOT, "pyproject.toml"), encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if line.startswith("["):
                inside = line == "[project]"
            elif inside:
                m = re.match(r'^([\w-]+)\s*=\s*"([^"]*)"$', line)
                if m:
                    table[m.group(1)] = m.group(2)
    return table


def _metadata():
    project = _project_table()
    lines = ["Metadata-Version: 2.1", "Name: " + project.get("name", "tarnwick-config"),
             "Version: " + _version()]
    for key, header in (("description", "Summary"), ("requires-python", "Requires-Python")):
        if key in project:
            lines.append(f"{header}: {project[key]}")
    lines += ["Provides-Extra: yaml", 'Requires-Dist: PyYAML; extra == "yaml"',
              "Provides-Extra: pydantic", 'Requires-Dist: pydantic<2; extra == "pydantic"']
    readme = os.path.join(_ROOT, project.get("readme", "README.md"))
    if not os.path.exists(readme):
        return "\n".join(lines) + "\n"
    # The long description is the message body, after one empty line.
    lines.append("Description-Content-Type: text/markdown")
    with open(readme, encoding="utf-8") as f:
        return "\n".join(lines) + "\n\n" + f.read()


def _tag():
    python = f"cp{sys.version_info[0]}{sys.version_info[1]}"
    platform = sysconfig.get_platform().replace("-", "_").replace(".", "_")
    return f"{python}-{python}-{platform}"


def _build(settings):
    """Configures (once) and builds the package in CMake's tree; returns the package folder."""
    build_dir = settings.get("build-dir") or os.path.join(
        _ROOT, "build", f"wheel-cp{sys.version_info[0]}{sys.version_info[1]}")
    jobs = str(settings.get("jobs") or os.cpu_count() or 1)
    # A configure that failed leaves its cache but no build system: configure again then.
    if not any(os.path.exists(os.path.join(build_dir, f)) for f in ("Makefile", "build.ninja")):
        _run(["cmake", "-S", _ROOT, "-B", build_dir, "-DCMAKE_BUILD_TYPE=Release",
              "-DTARNWICK_BUILD_TESTS=OFF", "-DTARNWICK_BUILD_BENCH=OFF",
              "-DTARNWICK_BUILD_PYTHON=ON", f"-DPython3_EXECUTABLE={sys.executable}"])
    _run(["cmake", "--build", build_dir, "--target", "tarnwick_python", _COMMAND,
          "--parallel", jobs])
    return build_dir


def _run(command):
    # Progress goes to standard error: pip shows it with -v, and standard output stays the
    # frontend's.
    result = subprocess.run(command, stdout=sys.stderr, stderr=sys.stderr)
    if result.returncode != 0:
        raise RuntimeError(f"{' '.join(command)} failed with status {result.returncode}")


def _package_files(package_dir):
    """(path in the wheel, file) for each file of the built package, in a stable order."""
    out = []
    for folder, dirs, files in os.walk(package_dir):
        dirs[:] = sorted(d for d in dirs if d not in _SKIPPED)
        for name in sorted(files):
            if name.endswith((".pyc", ".pyo")):
                continue
            path = os.path.join(folder, name)
            out.append((_PACKAGE + "/" + os.path.relpath(path, package_dir).replace(os.sep, "/"),
                        path))
    return out


def _record_line(arcname, data):
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return f"{arcname},sha256={digest},{len(data)}"


def _dist_info_files():
    """(name, text) of the files of the wheel's .dist-info folder but RECORD."""
    wheel_text = (f"Wheel-Version: 1.0\nGenerator: tarnwick cmake_wheel\n"
                  f"Root-Is-Purelib: false\nTag: {_tag()}\n")
    return (("METADATA", _metadata()), ("WHEEL", wheel_text), ("top_level.txt", _PACKAGE + "\n"))


def prepare_metadata_for_build_wheel(metadata_directory, config_settings=None):
    # Without this hook a frontend builds the whole wheel to learn Requires-Python.
    _require_supported_python()
    dist_info = f"{_NAME}-{_version()}.dist-info"
    os.makedirs(os.path.join(metadata_directory, dist_info), exist_ok=True)
    for name, text in _dist_info_files():
        with open(os.path.join(metadata_directory, dist_info, name), "w", encoding="utf-8") as f:
            f.write(text)
    return dist_info


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    _require_supported_python()
    version = _version()
    build_dir = _build(config_settings or {})
    package_dir = os.path.join(build_dir, "python", _PACKAGE)
    if not any(n.startswith("_core.") for n in os.listdir(package_dir)):
        raise RuntimeError(f"the build made no compiled module in {package_dir}")
    command = os.path.join(build_dir, "tools", _COMMAND)
    if not os.access(command, os.X_OK):
        raise RuntimeError(f"the build made no {_COMMAND} in {os.path.dirname(command)}")
    dist_info = f"{_NAME}-{version}.dist-info"
    wheel_name = f"{_NAME}-{version}-{_tag()}.whl"
    entries = []
    for arcname, path in _package_files(package_dir) + [
            (f"{_NAME}-{version}.data/scripts/{_COMMAND}", command)]:
        with open(path, "rb") as f:
            entries.append((arcname, f.read(), os.stat(path).st_mode))
    for name, text in _dist_info_files():
        entries.append((f"{dist_info}/{name}", text.encode(), 0o644))
    record = [_record_line(arcname, data) for arcname, data, _ in entries]
    record.append(f"{dist_info}/RECORD,,")
    entries.append((f"{dist_info}/RECORD", ("\n".join(record) + "\n").encode(), 0o644))
    os.makedirs(wheel_directory, exist_ok=True)
    with zipfile.ZipFile(os.path.join(wheel_directory, wheel_name), "w",
                         zipfile.ZIP_DEFLATED) as wheel:
        for arcname, data, mode in entries:
            info = zipfile.ZipInfo(arcname, date_time=(2020, 1, 1, 0, 0, 0))
            info.external_attr = (mode & 0o777 | 0o100000) << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            wheel.writestr(info, data)
    return wheel_name


def _source_files():
    """The files of the source tree: Git's list in a checkout, else every file not skipped."""
    try:
        listed = subprocess.run(["git", "-C", _ROOT, "ls-files", "-z"], capture_output=True,
                                check=True).stdout.decode().split("\0")
        return sorted(p for p in listed if p and os.path.isfile(os.path.join(_ROOT, p)))
    except (OSError, subprocess.CalledProcessError):
        pass
    out = []
    for folder, dirs, files in os.walk(_ROOT):
        dirs[:] = sorted(d for d in dirs if d not in _SKIPPED)
        out += [os.path.relpath(os.path.join(folder, n), _ROOT) for n in sorted(files)]
    return out


def build_sdist(sdist_directory, config_settings=None):
    top = f"{_NAME}-{_version()}"
    name = top + ".tar.gz"
    os.makedirs(sdist_directory, exist_ok=True)
    with tarfile.open(os.path.join(sdist_directory, name), "w:gz", format=tarfile.PAX_FORMAT) as tar:
        for path in _source_files():
            tar.add(os.path.join(_ROOT, path), arcname=f"{top}/{path}", recursive=False)
        info = tarfile.TarInfo(f"{top}/PKG-INFO")
        data = _metadata().encode()
        info.size = len(data)
        tar.addfile(info, io.BytesIO(data))
    return name


def get_requires_for_build_wheel(config_settings=None):
    _require_supported_python()
    return []


def get_requires_for_build_sdist(config_settings=None):
    return []
