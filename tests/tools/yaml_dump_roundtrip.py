"""`dump --format yaml` read back by a YAML 1.1 loader (PyYAML) is the JSON dump's mapping, also
for strings that plain YAML would read as booleans, numbers, nulls, dates or merge keys; and the
JSON dump stays the default. Usage: yaml_dump_roundtrip.py TOOL EXAMPLES_DIR."""
import json
import os
import subprocess
import sys

import yaml

tool, examples = sys.argv[1:3]
with open(os.path.join(examples, "full.yaml"), encoding="utf-8") as fh:
    full = fh.read()
tricky = {"yes": "no", "on": "Off", "123": "0x1F", "n": "null", "t": "~", "d": "2001-12-14",
          "f": "1_000.5", "e": "", "<<": "<<", "c": "a: b", "h": "#x", "s": " x ", "l": "- a",
          "q": "'\"", "u": "münchen", "m": "two\nlines", "i": ".inf", "o": "0o17", "b": "0b1",
          "x": "1:30", "k": "=", "z": "-.5"}
tags = "{Name: retail-use1-spoke, owner: netops}"
documents = {"full.yaml": full, "tricky strings": full.replace(tags, json.dumps(tricky))}


def dump(text, *options):
    proc = subprocess.run([tool, "dump", *options, "-"], input=text.encode(), capture_output=True,
                          check=False)
    if proc.returncode != 0:
        raise AssertionError(f"dump {options} exited {proc.returncode}: {proc.stderr.decode()}")
    return proc.stdout.decode()


failed = 0
for name, text in documents.items():
    plain = dump(text)
    as_yaml = dump(text, "--format", "yaml")
    problems = []
    if dump(text, "--format", "json") != plain:
        problems.append("--format json differs from the default")
    if not as_yaml.startswith("id: vpc_migration\n"):
        problems.append("not in block style: " + as_yaml[:60])
    if yaml.safe_load(as_yaml) != json.loads(plain):
        problems.append("reads back as another mapping:\n" + as_yaml)
    if problems:
        failed += 1
        print(f"not ok: {name}: " + "; ".join(problems))
print(f"yaml dump: {len(documents) - failed} passed, {failed} failed")
sys.exit(1 if failed else 0)
