#!/usr/bin/env bash
# The everyday test run: one build and every test. The pure code natively under the sanitizers,
# the fuzz targets, then the Windows build (the modules, the tools, the release zip) and its
# tests under Wine. The two-build release comparison is scripts/check_release.sh (.ci/run).
set -euo pipefail
cd "$(dirname "$0")"
source scripts/common.sh

ensure_tools
# Every planted fault still changes the code it names, so that the fault round runs whole.
scripts/planted_faults.sh --check
# The pure code first, natively under the sanitizers: its unit tests and seed corpora (seconds).
build_native
ctest --test-dir "$NATIVE_BUILD_DIR" --output-on-failure --no-tests=error -j 2
# Each fuzz target for FUZZ_SECONDS (30 by default), side by side.
scripts/fuzz.sh
build_all
if ! wine_runs_here; then
  wine_unavailable_notice "the tests labelled wine; the build, the native tests, the fuzzers and the release's own checks ran"
  ctest --test-dir "$BUILD_DIR" --output-on-failure --no-tests=error -j 2 -LE wine
  exit 0
fi
wine_start
trap wine_stop EXIT
ctest --test-dir "$BUILD_DIR" --output-on-failure --no-tests=error -j 2
