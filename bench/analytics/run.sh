#!/usr/bin/env bash
# Analytics SDK figures against the collector stand-in on 127.0.0.1.
# Usage: bench/analytics/run.sh BUILD_DIR
set -euo pipefail
build=${1:-build}
bench="$build/bin/analytics_bench"
[ -x "$bench" ] || { echo "build $bench first" >&2; exit 1; }
"$bench"
