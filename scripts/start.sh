#!/usr/bin/env bash
# Sets up the machine, builds, and starts Quorvin in the tray. It returns to the shell; the app
# keeps running (a second start only brings its panel forward). Arguments go to quorvin-cli, the
# headless entry, e.g.:
#   bash scripts/start.sh get "https://www.bilibili.com/video/BV…"
#   bash scripts/start.sh detect <<< "复制打开抖音 https://v.douyin.com/MuEswcb/"
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -gt 0 ]; then
  bash scripts/setup.sh >/dev/null
  bash scripts/build.sh >/dev/null
  exec build/src/quorvin-cli "$@"
fi
# Without a display the hint comes at once, before any set-up work.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "start: no display here (DISPLAY and WAYLAND_DISPLAY are unset); without one use the command line: bash scripts/start.sh get LINK" >&2
  exit 1
fi
bash scripts/setup.sh >/dev/null
bash scripts/build.sh >/dev/null
mkdir -p "${XDG_STATE_HOME:-$HOME/.local/state}/Quorvin"
# Detached from this shell: closing the terminal does not end the app. Its own messages (Qt
# warnings) go to a file beside the log; the log itself is app.log in the same folder.
nohup setsid build/src/app/quorvin >>"${XDG_STATE_HOME:-$HOME/.local/state}/Quorvin/stderr.log" 2>&1 </dev/null &
echo "start: Quorvin is running in the tray (click its icon; right click for the menu)."
