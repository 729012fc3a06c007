#!/usr/bin/env bash
# Plants the faults of scripts/planted_faults.txt one at a time in a copy of the tree, rebuilds
# and runs every test, the native build's (the pure code under the sanitizers) and then the Windows
# build's under Wine; a fault is caught when a build or a test fails (the first failing test ends
# that fault's run). Prints one line a fault and the counts caught, equivalent (marked so in the
# list, with why) and survived, and exits 1 when any survived that is not marked equivalent.
# On a machine where Wine cannot run, only the faults in the native build's code are planted, and
# the others are named as left out.
#   scripts/planted_faults.sh [N...]    # only the faults on those lines (counting from 1)
#   scripts/planted_faults.sh --check   # only that each fault still changes its file (seconds)
# PLANT_DIR (default /tmp/vqt7-planted-$USER) holds the copy and its build; reused if present.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh

mapfile -t faults < <(grep -v '^#' scripts/planted_faults.txt | grep -v '^$')

# Applies fault N to a copy of its file in $2; fails, naming it, when the file is gone or the
# expression no longer changes it (the code it targets moved).
apply_fault() {
  local n=$1 copy_file=$2 file expression what equivalent
  IFS=$'\t' read -r file expression what equivalent <<<"${faults[$((n - 1))]}"
  if [ ! -f "$file" ]; then
    echo "fault $n names $file, which is gone: $what" >&2
    return 1
  fi
  cp "$file" "$copy_file"
  sed -i -e "$expression" "$copy_file"
  if cmp -s "$file" "$copy_file"; then
    echo "fault $n no longer changes $file: $what" >&2
    return 1
  fi
}

if [ "${1:-}" = --check ]; then
  scratch=$(mktemp)
  trap 'rm -f "$scratch"' EXIT
  stale=0
  for n in $(seq 1 ${#faults[@]}); do
    apply_fault "$n" "$scratch" || stale=$((stale + 1))
  done
  echo "planted faults: $((${#faults[@]} - stale)) of ${#faults[@]} still apply"
  exit $((stale > 0))
fi

plant_dir=${PLANT_DIR:-/tmp/vqt7-planted-${USER:-$(id -un)}}
copy="$plant_dir/src"
mkdir -p "$copy"
# The tree as committed plus any local edits, without the build folders.
git ls-files -z | tar --null -T - -cf - | tar -xf - -C "$copy"
# A round stopped partway left its last fault built: the file is back as it was, but with its old
# time, so it is made newer than that build.
if [ -f "$plant_dir/planted" ]; then
  touch "$copy/$(cat "$plant_dir/planted")"
  rm "$plant_dir/planted"
fi
build="$plant_dir/build"
native="$plant_dir/build-native"
with_wine=1
wine_runs_here || with_wine=0

# Whether the native build compiles `file`: a pure library's source, or the script that writes
# the known-release table its test reads.
in_native_build() {
  local folder
  [ "$1" = gaugecheck/release_sums.cmake ] && return 0
  for folder in $(sed -n 's/^set(PURE_LIBRARIES \(.*\))$/\1/p' CMakeLists.txt); do
    case "$1" in "$folder"/*) return 0 ;; esac
  done
  return 1
}

echo "Building the copy once, unchanged"
cmake --preset native -S "$copy" -B "$native" >/dev/null
cmake --build "$native" -j 2 >"$plant_dir/build-native.log" 2>&1
if ! ctest --test-dir "$native" -j 2 >"$plant_dir/clean-native.log" 2>&1; then
  echo "the unchanged copy fails its native tests: see $plant_dir/clean-native.log" >&2
  exit 2
fi
if [ $with_wine = 1 ]; then
  cmake --preset default -S "$copy" -B "$build" >/dev/null
  cmake --build "$build" -j 2 >"$plant_dir/build.log" 2>&1
  wine_start
  trap wine_stop EXIT
  if ! ctest --test-dir "$build" -j 2 >"$plant_dir/clean.log" 2>&1; then
    echo "the unchanged copy fails its tests: see $plant_dir/clean.log" >&2
    exit 2
  fi
fi

# The names of the failed tests in a CTest log.
failed_tests() {
  grep -oE '[0-9]+ - [A-Za-z0-9_]+ \(' "$1" | sed 's/.* - //; s/ ($//' | tr '\n' ' '
}

# The tests that kill and stop the real tools take half a minute, and the first failure ends a
# fault's run only once the tests under way are done: they run after the rest.
slow_tests='^(crash_gaugeinstall|interrupt_tools)$'
selected=("$@")
[ ${#selected[@]} -gt 0 ] || selected=($(seq 1 ${#faults[@]}))
caught=0
planted=0
equivalents=0
survivors=()
left_out=()
for n in "${selected[@]}"; do
  IFS=$'\t' read -r file expression what equivalent <<<"${faults[$((n - 1))]}"
  if [ $with_wine = 0 ] && ! in_native_build "$file"; then
    left_out+=("$n")
    continue
  fi
  echo "$file" >"$plant_dir/planted"
  apply_fault "$n" "$copy/$file" || exit 2
  planted=$((planted + 1))
  log="$plant_dir/fault-$n.log"
  : >"$log"
  if ! cmake --build "$native" -j 2 >>"$log" 2>&1; then
    verdict="caught by the native build"
  elif ! ctest --test-dir "$native" -j 2 --stop-on-failure >>"$log" 2>&1; then
    verdict="caught by $(failed_tests "$log")"
  elif [ $with_wine = 0 ]; then
    verdict="SURVIVED"
  elif ! cmake --build "$build" -j 2 >>"$log" 2>&1; then
    verdict="caught by the build"
  elif ! ctest --test-dir "$build" -j 2 --stop-on-failure -E "$slow_tests" >>"$log" 2>&1; then
    verdict="caught by $(failed_tests "$log")"
  elif ! ctest --test-dir "$build" -j 2 --stop-on-failure -R "$slow_tests" >>"$log" 2>&1; then
    verdict="caught by $(failed_tests "$log")"
  else
    verdict="SURVIVED"
  fi
  if [ "$verdict" = SURVIVED ] && [ -n "$equivalent" ]; then
    verdict="survived, $equivalent"
    equivalents=$((equivalents + 1))
  elif [ "$verdict" = SURVIVED ]; then
    survivors+=("$n: $what")
  else
    caught=$((caught + 1))
  fi
  printf '%3d  %-60s %s\n' "$n" "$what" "$verdict"
  cp "$file" "$copy/$file"
  rm "$plant_dir/planted"
done
# Leave the copy's builds matching its sources again.
cmake --build "$native" -j 2 >/dev/null 2>&1 || true
[ $with_wine = 0 ] || cmake --build "$build" -j 2 >/dev/null 2>&1 || true
echo "caught $caught of $planted; $equivalents equivalent (no input tells them apart), ${#survivors[@]} survived"
if [ ${#left_out[@]} -gt 0 ]; then
  echo "left out, since Wine cannot run here and the native build does not hold their code: faults ${left_out[*]}"
fi
for survivor in "${survivors[@]}"; do echo "survived: $survivor"; done
[ ${#survivors[@]} -eq 0 ]
