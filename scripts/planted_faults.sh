#!/usr/bin/env bash
# Plants the faults of scripts/planted_faults.txt one at a time in a copy of the tree, rebuilds
# and runs every test; a fault is caught when the build or a test fails. Prints one line a
# fault and the count caught, and exits 1 when any survived.
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
  local n=$1 copy_file=$2 file expression what
  IFS=$'\t' read -r file expression what <<<"${faults[$((n - 1))]}"
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
build="$plant_dir/build"
cmake --preset default -S "$copy" -B "$build" >/dev/null
echo "Building the copy once, unchanged"
cmake --build "$build" -j 2 >"$plant_dir/build.log" 2>&1

wine_start
trap wine_stop EXIT
if ! ctest --test-dir "$build" -j 2 >"$plant_dir/clean.log" 2>&1; then
  echo "the unchanged copy fails its tests: see $plant_dir/clean.log" >&2
  exit 2
fi

selected=("$@")
[ ${#selected[@]} -gt 0 ] || selected=($(seq 1 ${#faults[@]}))
caught=0
survivors=()
for n in "${selected[@]}"; do
  IFS=$'\t' read -r file expression what <<<"${faults[$((n - 1))]}"
  apply_fault "$n" "$copy/$file" || exit 2
  log="$plant_dir/fault-$n.log"
  if ! cmake --build "$build" -j 2 >"$log" 2>&1; then
    verdict="caught by the build"
  elif ! ctest --test-dir "$build" -j 2 >>"$log" 2>&1; then
    verdict="caught by $(grep -oE '[0-9]+ - test_[a-z_]+' "$log" | sed 's/.* - //' | tr '\n' ' ')"
  else
    verdict="SURVIVED"
    survivors+=("$n: $what")
  fi
  [ "$verdict" = SURVIVED ] || caught=$((caught + 1))
  printf '%2d  %-48s %s\n' "$n" "$what" "$verdict"
  cp "$file" "$copy/$file"
done
# Leave the copy's build matching its sources again.
cmake --build "$build" -j 2 >/dev/null 2>&1 || true
echo "caught $caught of ${#selected[@]}"
for survivor in "${survivors[@]}"; do echo "survived: $survivor"; done
[ ${#survivors[@]} -eq 0 ]
