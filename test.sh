#!/usr/bin/env bash
# Builds everything and runs every test; the tests drive the built modules under Wine.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/common.sh

ensure_tools
# The pure code first, natively under the sanitizers: its unit tests and seed corpora (seconds).
build_native
ctest --test-dir "$NATIVE_BUILD_DIR" --output-on-failure --no-tests=error -j 2
# Each fuzz target for FUZZ_SECONDS (30 by default), the two side by side.
scripts/fuzz.sh
build_all
# Two clean builds give identical modules and zip; imports and sizes stay within bounds.
scripts/check_release.sh
wine_start
trap wine_stop EXIT
ctest --test-dir "$BUILD_DIR" --output-on-failure --no-tests=error -j 2
