#!/usr/bin/env bash
# Sets up the machine, builds, and starts Quorvin. Arguments go to quorvin-cli, the headless
# entry, e.g.:  bash scripts/start.sh detect <<< "复制打开抖音 https://v.douyin.com/MuEswcb/"
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh >/dev/null
bash scripts/build.sh >/dev/null
exec build/src/quorvin-cli "${@:---help}"
