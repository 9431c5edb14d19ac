#!/usr/bin/env bash
# Runs every fuzz target for a while over a copy of its seed corpus (the committed corpus is never grown).
# Usage: fuzz/run.sh [SECONDS_PER_TARGET] [BUILD_DIR]   (defaults: 20, build/fuzz)
# Builds nothing: configure and build first with `cmake --preset fuzz && cmake --build --preset fuzz`.
# Exits non-zero when any target crashes, leaks, times out or finds an input that breaks an invariant; the input
# is kept in BUILD_DIR/fuzz-artifacts/.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
seconds="${1:-20}"
build="$(cd "${2:-$here/../build/fuzz}" && pwd)"
artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

failed=0
total=0
for source in "$here"/*_fuzz.cpp; do
  name="$(basename "$source" .cpp)"
  binary="$build/fuzz/$name"
  if [ ! -x "$binary" ]; then
    echo "$name: not built ($binary missing)"
    failed=1
    continue
  fi
  corpus="$work/$name"
  mkdir -p "$corpus"
  if [ -d "$here/corpus/$name" ]; then cp "$here/corpus/$name"/* "$corpus"/; fi
  options=(-max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1
           -artifact_prefix="$artifacts/$name-")
  if [ -f "$here/dict/$name.dict" ]; then options+=(-dict="$here/dict/$name.dict"); fi
  log="$work/$name.log"
  status=0
  "$binary" "${options[@]}" "$corpus" >"$log" 2>&1 || status=$?
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
  runs="${runs:-0}"
  total=$((total + runs))
  if [ "$status" -eq 0 ]; then
    echo "$name: $runs executions, no crash"
  else
    echo "$name: $runs executions, CRASHED (exit $status)"
    grep -E "invariant failed|ERROR:|SUMMARY:|Test unit written to|runtime error" "$log" | head -n 20 | sed 's/^/    /'
    failed=1
  fi
done
echo "fuzz: $total executions in all"
if [ "$failed" -ne 0 ]; then
  echo "fuzz: FAILED (inputs kept in $artifacts)"
  exit 1
fi
echo "fuzz: every target ran without a crash"
