#!/usr/bin/env bash
# Builds everything and runs the per-cycle benchmark under Wine, with the machine it ran on.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh

ensure_tools
build_all >/dev/null
wine_start
trap wine_stop EXIT
output=$(mktemp)
# Wine's output goes to a file, not a pipe: its helper processes may hold a pipe open.
status=0
wine "$BUILD_DIR/bin/gauge_benchmark.exe" >"$output" 2>&1 </dev/null || status=$?
tr -d '\r' <"$output"
rm -f "$output"
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), under $(wine --version)"
exit "$status"
