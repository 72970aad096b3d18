#!/usr/bin/env bash
# The login window's start-up time and memory (bench/login_bench.cpp), on a display of its own:
# Xvfb with openbox. Leaves a screenshot of the first window in build/bench/login-window.png.
# Build first (bash scripts/build.sh); BUILD_DIR picks another build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="${BUILD_DIR:-build}"
program="$BUILD_DIR/bench/login_bench"
helper="$BUILD_DIR/src/login/quorvin-login"
for file in "$program" "$helper"; do
  [ -x "$file" ] || { echo "missing $file: build first" >&2; exit 1; }
done

work="$(mktemp -d)"
xvfb_pid=""
wm_pid=""
cleanup() {
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display and writes its number once it accepts clients.
Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(cat "$work/display")"
openbox --sm-disable >/dev/null 2>&1 &
wm_pid=$!
for _ in $(seq 100); do wmctrl -m >/dev/null 2>&1 && break; sleep 0.05; done

QUORVIN_LOGIN_PROGRAM="$(realpath "$helper")" QUORVIN_BENCH_SHOT="$BUILD_DIR/bench/login-window.png" \
  "$program" "$@"
