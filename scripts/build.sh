#!/usr/bin/env bash
# Configures and builds Quorvin into ./build (Ninja, two jobs: the machine has two cores).
# Warnings are errors here, as on CI; QUORVIN_WERROR=OFF builds as a user or a packager does
# (scripts/package.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
launcher=()
# A compiler cache, when the machine has one, makes rebuilds in several checkouts cheap.
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" \
  -DQUORVIN_WERROR="${QUORVIN_WERROR:-ON}" >/dev/null
cmake --build build -j"${JOBS:-2}"
