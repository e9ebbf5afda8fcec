"""Figures of the Python module: in-process loads against the tool's, attribute reads against a
plain object, and import time.

    PYTHONPATH=build/bench/python /usr/bin/python3 bench/python_bench.py \\
        --tool build/bench/tools/tarnwick-config [--large build/bench/data/large.yaml]

Each figure is the minimum of repeated runs (the steadiest on a shared machine).
"""

import argparse
import operator
import pathlib
import subprocess
import sys
import time

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


def loads(path, tool, repeat):
    in_process = best(lambda: cvm.load_from_yaml(path), repeat)
    cli = best(lambda: subprocess.run([tool, "check", str(path)], check=True,
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL),
               repeat)
    print(f"load {path.name}: in process {in_process * 1e3:.2f} ms, "
          f"tool's check {cli * 1e3:.2f} ms (process included)")


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
    parser.add_argument("--tool", required=True, help="the built tarnwick-config")
    parser.add_argument("--large", type=pathlib.Path, help="a generated large document")
    args = parser.parse_args()
    full = ROOT / "examples" / "full.yaml"
    loads(full, args.tool, 50)
    if args.large:
        loads(args.large, args.tool, 3)
    reads(cvm.load_from_yaml(full).account_info[0].regions[0].vpcs[0])
    import_time(10)


if __name__ == "__main__":
    main()
