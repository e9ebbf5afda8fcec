"""The tool's SARIF logs against the official SARIF 2.1.0 JSON Schema (draft-04), which the npm
package of tests/editor ships, and as code scanning reads them: the same rules in every log, each
result pointing at its rule, columns in UTF-16 code units, URIs without ./ and absolute paths as
file: URIs. Usage: validate_sarif.py TOOL EXAMPLES_DIR SCHEMA_FILE.
Exit 77 (skipped) when the schema is not installed."""
import json
import os
import shutil
import subprocess
import sys
import tempfile

import jsonschema

tool, examples, schema_file = sys.argv[1:4]
if not os.path.exists(schema_file):
    print(f"skipped: {schema_file} is missing (scripts/deps installs it)")
    sys.exit(77)
with open(schema_file, encoding="utf-8") as fh:
    validator = jsonschema.Draft4Validator(json.load(fh))

full = os.path.join(examples, "full.yaml")
invalid = os.path.join(examples, "invalid.yaml")
# Emoji (each one character, two UTF-16 code units) before an undeclared key's end and before the
# place of a VPC that a rule across sections names: columns past them count each twice.
WIDE = """terraform: {terraform_output: /o, terraform_version: '1', corvane_provider: '2',
            aws_provider: '3'}
corvane: {controller_ip: 10.0.0.1, controller_account: '111'}
alert: {\U0001F600: 1}
account_info:
  - account_id: '123'
    regions:
      - region: us-east-1
        vpcs:
          - {transit_gw_name: \U0001F600, vpc_id: vpc-1, crvn_cidr: 10.1.0.0/24}
config: {}
"""
work = tempfile.mkdtemp()
with open(os.path.join(work, "wide.yaml"), "w", encoding="utf-8") as fh:
    fh.write(WIDE)
absolute = os.path.join(work, "wide.yaml")

# Valid, with lint warnings: a VPC listed twice (a related place) and an address without its
# prefix length (a fix).
with open(full, encoding="utf-8") as fh:
    LINTED = (fh.read().replace("vpc-0a11b22c33d44e502", "vpc-0a11b22c33d44e501")
              .replace("[10.30.0.0/16]", "[10.30.0.1]"))

cases = [  # (arguments, standard input, results expected, where it runs)
    ([invalid], None, 12, None),
    ([full], None, 0, None),
    ([full, invalid, "/nonexistent.yaml"], None, 13, None),
    (["-"], "- not a mapping\n", 1, None),
    (["-"], "a: 'open\n", 1, None),
    (["-"], LINTED, 2, None),
    (["./wide.yaml", "././wide.yaml", absolute], None, 6, work),
]
# Per result of the wide document: (ruleId, startColumn, endColumn, related location's columns).
WIDE_RESULTS = [
    ("value_error.extra", 9, 11, None),
    ("check_config.gw_names_given", 9, 11, (35, 41)),
]
failed = 0
rules_seen = None
for args, stdin, expected, cwd in cases:
    proc = subprocess.run([tool, "check", "--format", "sarif", *args], input=stdin, cwd=cwd,
                          capture_output=True, text=True, check=False)
    log = json.loads(proc.stdout)
    problems = [e.message for e in validator.iter_errors(log)]
    run = log["runs"][0]
    rules = run["tool"]["driver"]["rules"]
    if rules_seen is None:
        rules_seen = rules
    elif rules != rules_seen:
        problems.append("the rules differ from the first log's")
    if run.get("columnKind") != "utf16CodeUnits":
        problems.append(f"columnKind {run.get('columnKind')}")
    results = run["results"]
    if len(results) != expected:
        problems.append(f"{len(results)} results, expected {expected}")
    if stdin == LINTED and [(r["ruleId"], r["level"]) for r in results] != [
            ("duplicate-vpc-id", "warning"), ("bare-address", "warning")]:
        problems.append(f"lint results {[(r['ruleId'], r.get('level')) for r in results]}")
    for r in results:
        if rules[r["ruleIndex"]]["id"] != r["ruleId"]:
            problems.append(f"{r['ruleId']} at index {r['ruleIndex']}")
        uri = r["locations"][0]["physicalLocation"]["artifactLocation"]["uri"]
        if uri.startswith("./") or (uri.startswith("/") and not uri.startswith("file:")):
            problems.append(f"uri {uri}")
    if cwd is not None:
        uris = [r["locations"][0]["physicalLocation"]["artifactLocation"]["uri"] for r in results]
        if uris != ["wide.yaml"] * 4 + ["file://" + absolute] * 2:
            problems.append(f"uris {uris}")
        for r, (rule, start, end, related) in zip(results, WIDE_RESULTS * 3):
            region = r["locations"][0]["physicalLocation"]["region"]
            got = (r["ruleId"], region["startColumn"], region["endColumn"])
            if got != (rule, start, end):
                problems.append(f"{got}, expected {(rule, start, end)}")
            places = [p["physicalLocation"]["region"] for p in r.get("relatedLocations", [])]
            if related and [(p["startColumn"], p["endColumn"]) for p in places] != [related]:
                problems.append(f"related {places}, expected {related}")
    if problems:
        failed += 1
        print(f"not ok: {args}: " + "; ".join(problems[:5]))
shutil.rmtree(work, ignore_errors=True)
print(f"sarif: {len(cases) - failed} passed, {failed} failed")
sys.exit(1 if failed else 0)
