#!/usr/bin/env bash
# Runs every benchmark: the Google Benchmark programs built from bench/*_bench.cpp, then the
# scripted comparisons bench/*_bench.sh (which may build fixtures and call other programs).
# Build first: bash scripts/build.sh
set -euo pipefail
cd "$(dirname "$0")/.."
for program in build/bench/*_bench; do
  [ -x "$program" ] || continue
  # A program with a script of its own is driven by that script below.
  [ -f "bench/$(basename "$program").sh" ] && continue
  echo "== $(basename "$program")"
  "$program" "$@"
done
for script in bench/*_bench.sh; do
  [ -f "$script" ] || continue
  echo "== $(basename "$script")"
  bash "$script"
done
