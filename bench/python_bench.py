"""Figures of the Python module: its load against the compiled load of the same file (the
difference is the conversion to Python objects), attribute reads against a plain object, and
import time.

    PYTHONPATH=build/bench/python /usr/bin/python3 bench/python_bench.py \\
        [--tool build/bench/tools/tarnwick-config] [--large build/bench/data/large.yaml]

Each figure is the minimum of repeated runs (the steadiest on a shared machine).
"""

import argparse
import gc
import operator
import pathlib
import subprocess
import sys
import time

from tarnwick_config import _core, _records
from tarnwick_config import config_vpc_migration as cvm

ROOT = pathlib.Path(__file__).resolve().parents[1]
READS = 100_000


def best(fn, repeat):
    times = []
    for _ in range(repeat):
        start = time.perf_counter()
        fn()
        times.append(time.perf_counter() - start)
    return min(times)


class Timed:
    """The runs of one step: wall-clock and this thread's CPU time, in seconds. On a shared
    machine the CPU time leaves out the time spent waiting for a core."""

    def __init__(self):
        self.wall, self.cpu = [], []

    def run(self, fn):
        wall, cpu = time.perf_counter(), time.thread_time()
        result = fn()
        self.cpu.append(time.thread_time() - cpu)
        self.wall.append(time.perf_counter() - wall)
        return result


def compared_loads(path, repeat):
    """The compiled load alone, the compiled load with its conversion, and the public Python
    load of the same file, taking turns so that a disturbed stretch of the machine slows all
    three. Each includes freeing the compiled document; the Python objects are freed, and the
    collection they leave behind is run, after the clock stops."""
    ids = _records._mode_ids()
    steps = {"native": lambda: _core._load_only(str(path), False, ids),
             "converted": lambda: _core._load_yaml(str(path), False, ids),
             "python": lambda: cvm.load_from_yaml(path)}
    timed = {name: Timed() for name in steps}
    for fn in steps.values():
        fn()  # one untimed pass: first-touch costs land on none of them
    for _ in range(repeat):
        for name, fn in steps.items():
            document = timed[name].run(fn)
            del document
            gc.collect()
    return timed


def loads(path, tool, repeat):
    timed = compared_loads(path, repeat)

    def ms(name, clock):
        return min(getattr(timed[name], clock)) * 1e3

    print(f"load {path.name} (minimum of {repeat} runs; CPU time in brackets)")
    for clock in ("wall", "cpu"):
        cpp, py = ms("native", clock), ms("python", clock)
        conversion = py - cpp
        compiled = ms("converted", clock) - cpp
        line = (f"C++ {cpp:.3f} ms, Python {py:.3f} ms, conversion {conversion:.3f} ms "
                f"({conversion / py:.0%} of the Python load; Python/C++ {py / cpp:.2f}): "
                f"compiled {compiled:.3f} ms, Python layer {conversion - compiled:.3f} ms")
        print(f"  {line}" if clock == "wall" else f"  [{line}]")
    lookup = best(_records._mode_ids, 200) * 1e3
    print(f"  of the Python layer, looking up the host's mode ids: {lookup:.3f} ms")
    if tool:
        cli = best(lambda: subprocess.run([tool, "check", str(path)], check=True,
                                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL),
                   min(repeat, 20))
        print(f"  tool's check {cli * 1e3:.2f} ms (process included)")


class Plain:
    """A plain object holding the same values."""


def reads(vpc):
    names = list(type(vpc).__fields__)
    plain = Plain()
    plain.__dict__.update(vpc.__dict__)
    get = operator.attrgetter(*names)
    rounds = READS // len(names)

    def run(obj):
        def loop():
            for _ in range(rounds):
                get(obj)
        return loop

    record, baseline = best(run(vpc), 20), best(run(plain), 20)
    count = rounds * len(names)
    print(f"{count} attribute reads of a VPC: {record * 1e3:.2f} ms, plain object "
          f"{baseline * 1e3:.2f} ms, ratio {record / baseline:.2f} (goal <= 1.2)")


def import_time(repeat):
    def start(code):
        return best(lambda: subprocess.run([sys.executable, "-c", code], check=True), repeat)

    bare = start("pass")
    module = start("import tarnwick_config.config_vpc_migration")
    print(f"import: {(module - bare) * 1e3:.1f} ms over the interpreter's "
          f"{bare * 1e3:.1f} ms start")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--tool", help="the built tarnwick-config, for its check's figure")
    parser.add_argument("--large", type=pathlib.Path, help="a generated large document")
    parser.add_argument("--loads-only", action="store_true", help="only the load figures")
    args = parser.parse_args()
    full = ROOT / "examples" / "full.yaml"
    loads(full, args.tool, 200)
    if args.large:
        loads(args.large, args.tool, 7)
    if args.loads_only:
        return
    reads(cvm.load_from_yaml(full).account_info[0].regions[0].vpcs[0])
    import_time(10)


if __name__ == "__main__":
    main()
