#!/usr/bin/env bash
# Runs each libFuzzer target of the native build for a bounded time, all side by side (on two
# cores), from the seed corpus kept in the tree. New inputs go to a scratch corpus that is
# thrown away; an input that crashes, leaks or times out is saved beside the seeds, so it stays
# a test, and fails the run. Builds nothing: run build_native (scripts/common.sh) first.
#   FUZZ_SECONDS=30 scripts/fuzz.sh [TARGET...]    # default: every target in build-native/fuzz
set -euo pipefail
cd "$(dirname "$0")/.."

: "${NATIVE_BUILD_DIR:=build-native}"
: "${FUZZ_SECONDS:=30}"
# Each target's seeds, by the target's name.
declare -A CORPUS=(
  [fuzz_panel_read]=panelcfg/fuzz/corpus/read
  [fuzz_panel_edit]=panelcfg/fuzz/corpus/edit
  [fuzz_report_page]=gaugebench/report/fuzz/corpus
  [fuzz_scenario]=gaugebench/scenario/fuzz/corpus
  [fuzz_sim_reading]=simreading/fuzz/corpus
)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_panel_read fuzz_panel_edit fuzz_report_page fuzz_scenario fuzz_sim_reading)

scratch=$(mktemp -d "${TMPDIR:-/tmp}/vqt7-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

pids=()
for target in "${targets[@]}"; do
  program=$NATIVE_BUILD_DIR/fuzz/$target
  seeds=${CORPUS[$target]:-}
  if [ ! -x "$program" ] || [ -z "$seeds" ]; then
    echo "fuzz: $program is not built, or has no seed corpus: run build_native first" >&2
    exit 2
  fi
  mkdir -p "$scratch/$target/corpus" "$scratch/$target/found"
  # The scratch corpus first: libFuzzer writes what it finds into the first folder only.
  "$program" -max_total_time="$FUZZ_SECONDS" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$scratch/$target/found/" "$scratch/$target/corpus" "$seeds" \
    >"$scratch/$target/log" 2>&1 &
  pids+=($!)
done

failed=0
for n in "${!targets[@]}"; do
  target=${targets[$n]}
  status=0
  wait "${pids[$n]}" || status=$?
  log=$scratch/$target/log
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  found=("$scratch/$target/found"/*)
  if [ "$status" -eq 0 ] && [ ! -e "${found[0]}" ]; then
    echo "fuzz: $target: ${runs:-?} inputs in ${FUZZ_SECONDS} s, ${speed:-?} a second, no failure"
    continue
  fi
  failed=1
  echo "fuzz: $target FAILED (exit status $status) after ${runs:-?} inputs; its report:" >&2
  grep -E 'property failed|ERROR|SUMMARY|runtime error|#[0-9]+ 0x' "$log" | head -20 >&2 || tail -20 "$log" >&2
  for input in "${found[@]}"; do
    [ -e "$input" ] || continue
    kept=${CORPUS[$target]}/$(basename "$input")
    cp "$input" "$kept"
    echo "fuzz: $target: the failing input is kept as $kept" >&2
  done
done
exit "$failed"
