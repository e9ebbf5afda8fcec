"""The tool's SARIF logs against the official SARIF 2.1.0 JSON Schema (draft-04), which the npm
package of tests/editor ships. Usage: validate_sarif.py TOOL EXAMPLES_DIR SCHEMA_FILE.
Exit 77 (skipped) when the schema is not installed."""
import json
import os
import subprocess
import sys

import jsonschema

tool, examples, schema_file = sys.argv[1:4]
if not os.path.exists(schema_file):
    print(f"skipped: {schema_file} is missing (scripts/deps installs it)")
    sys.exit(77)
with open(schema_file, encoding="utf-8") as fh:
    validator = jsonschema.Draft4Validator(json.load(fh))

full = os.path.join(examples, "full.yaml")
invalid = os.path.join(examples, "invalid.yaml")
cases = [  # (arguments, standard input, results expected)
    ([invalid], None, 12),
    ([full], None, 0),
    ([full, invalid, "/nonexistent.yaml"], None, 13),
    (["-"], "- not a mapping\n", 1),
    (["-"], "a: 'open\n", 1),
]
failed = 0
for args, stdin, expected in cases:
    proc = subprocess.run([tool, "check", "--format", "sarif", *args], input=stdin,
                          capture_output=True, text=True, check=False)
    log = json.loads(proc.stdout)
    problems = [e.message for e in validator.iter_errors(log)]
    results = len(log["runs"][0]["results"])
    if results != expected:
        problems.append(f"{results} results, expected {expected}")
    if problems:
        failed += 1
        print(f"not ok: {args}: " + "; ".join(problems[:5]))
print(f"sarif: {len(cases) - failed} passed, {failed} failed")
sys.exit(1 if failed else 0)
