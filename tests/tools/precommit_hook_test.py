#!/usr/bin/env python3
"""The pre-commit hook's default `files` and `exclude` patterns, applied as pre-commit applies
them (re.search on the path from the repository's root), on paths of a repository holding
migration documents among other YAML files.

    precommit_hook_test.py .pre-commit-hooks.yaml
"""
import re
import sys

import yaml

# path, checked by default
CASES = [
    ("migrations/wave3.yaml", True),
    ("migrations/2024/eu/wave1.yml", True),
    ("infra/migrations/prod.yaml", True),
    ("vpc-migration.yaml", True),
    ("deploy/Migration-Wave2.YAML", True),
    ("tarnwick.yml", True),
    ("configs/tarnwick-discovery.yaml", True),
    ("migrations/notes.md", False),
    ("migrations.yaml.bak", False),
    (".github/workflows/ci.yml", False),
    (".github/workflows/tarnwick-config.yml", False),
    (".pre-commit-config.yaml", False),
    ("docker-compose.yaml", False),
    ("charts/app/values.yaml", False),
    ("premigrations/x.yaml", False),
    ("migrations-old/x.yaml", False),  # only a folder named migrations/ counts
]


def main():
    with open(sys.argv[1], encoding="utf-8") as f:
        (hook,) = yaml.safe_load(f)
    files, exclude = re.compile(hook["files"]), re.compile(hook["exclude"])
    assert hook["entry"].startswith("tarnwick-config check"), hook["entry"]
    failed = 0
    for path, checked in CASES:
        got = bool(files.search(path)) and not exclude.search(path)
        if got != checked:
            print(f"{path}: expected {'checked' if checked else 'skipped'}")
            failed += 1
    print(f"{len(CASES) - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
