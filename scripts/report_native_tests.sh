#!/usr/bin/env bash
# Builds the bench report's core natively with clang under ASan and UBSan, runs its unit tests,
# then its page fuzz target for a fixed number of inputs from a fixed seed.
#   scripts/report_native_tests.sh BUILD_FOLDER
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
build="$1"
clang=$(command -v clang++-14 || command -v clang++ || true)
if [ -z "$clang" ]; then
  echo "clang++ is missing: scripts/common.sh's ensure_tools installs it" >&2
  exit 1
fi
cmake -S "$source_dir/tests/report_native" -B "$build" -DCMAKE_CXX_COMPILER="$clang" -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$build" -j 2 >"$build/build.log" 2>&1 || { tail -40 "$build/build.log"; exit 1; }
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1
python3 "$source_dir/scripts/run_gtest.py" "$build/test_report_core" "$build/test_report_core.xml"
"$build/fuzz_report_page" -seed=1 -runs=20000 -max_len=600 -artifact_prefix="$build/" 2>"$build/fuzz.log" || { tail -40 "$build/fuzz.log"; exit 1; }
tail -1 "$build/fuzz.log"
