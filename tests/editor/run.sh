#!/bin/sh
# Runs one editor test script with node: run.sh SCRIPT ARGS... Exit 77 (skipped) without node.
here=$(cd "$(dirname "$0")" && pwd)
if ! command -v node >/dev/null 2>&1; then
  echo "skipped: node is not installed (scripts/deps installs it)"
  exit 77
fi
if [ ! -d "$here/node_modules" ]; then
  echo "tests/editor/node_modules is missing: run scripts/deps" >&2
  exit 1
fi
script=$1
shift
exec node "$here/$script" "$@"
