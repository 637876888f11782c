#!/usr/bin/env bash
# Main window layout: build and first paint offscreen, the progress animation's cost per frame,
# and the idle CPU of a shown window on a private X server (Xvfb).
set -euo pipefail
build=${1:-build}
cd "$(dirname "$0")/../.."
cmake --build "$build" --target skin_ui_bench >/dev/null
exec "$build/bin/skin_ui_bench"
