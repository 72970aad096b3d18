#!/usr/bin/env bash
# One quorvin under Xvfb through COUNT downloads (default 1000) from servers on 127.0.0.1; a
# table every 100: memory, files, threads, processes, stray files, frame times. Needs Xvfb,
# openbox, trayer, xdotool, yt-dlp and ffmpeg (scripts/setup.sh installs them).
# Build first (bash scripts/build.sh); BUILD_DIR picks another build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="${BUILD_DIR:-build}"
program="$BUILD_DIR/bench/soak_bench"
[ -x "$program" ] || { echo "missing $program: build first" >&2; exit 1; }
[ -x "$BUILD_DIR/src/app/quorvin" ] || { echo "missing $BUILD_DIR/src/app/quorvin" >&2; exit 1; }
for tool in Xvfb openbox trayer xdotool yt-dlp ffmpeg; do
  command -v "$tool" >/dev/null || { echo "$tool missing: run scripts/setup.sh" >&2; exit 1; }
done
COUNT="${COUNT:-1000}" exec "$program"
