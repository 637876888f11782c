#!/usr/bin/env bash
# Runs every benchmark script (bench/<name>/run.sh) against the given build folder.
set -euo pipefail
build=${1:-build}
cd "$(dirname "$0")/.."
for script in bench/*/run.sh; do
  echo "== ${script%/run.sh}"
  "$script" "$build"
done
