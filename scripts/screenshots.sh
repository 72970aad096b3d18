#!/usr/bin/env bash
# Renders the panel in each of its states, light and dark, into build/screenshots/*.png (the
# real QML, drawn offscreen by the software renderer). Build first: bash scripts/build.sh
set -euo pipefail
cd "$(dirname "$0")/.."
out="$PWD/build/screenshots"
mkdir -p "$out"
cmake --build build --target test_gui -j2 >/dev/null
QUORVIN_SCREENSHOTS="$out" QT_QPA_PLATFORM=offscreen QT_QUICK_BACKEND=software \
  build/tests/test_gui --gtest_also_run_disabled_tests --gtest_filter='Screenshots.*'
ls "$out"/*.png
