#!/usr/bin/env bash
# Runs the shared conformance cases when they sit beside this checkout; skips (77) otherwise.
set -euo pipefail
tool=$1
cases=$2
if [[ ! -x "$cases/run" ]]; then
  echo "no conformance cases at $cases: skipped"
  exit 77
fi
python3 "$cases/run" --cmd "$tool"
