#!/usr/bin/env bash
# Builds Quorvin's Debian package and prints its path.
#   bash scripts/package.sh                        set up, build ./build, then package it
#   bash scripts/package.sh --no-build [FOLDER]    package an existing build folder (default ./build)
# Install the result with: sudo apt-get install ./build/quorvin_<version>_<arch>.deb
set -euo pipefail
cd "$(dirname "$0")/.."

build_first=1
if [ "${1:-}" = "--no-build" ]; then
  build_first=0
  shift
fi
build=$(realpath -m "${1:-build}")

if [ $build_first -eq 1 ]; then
  bash scripts/setup.sh >&2
  # A packager's build: a warning of a newer compiler is no reason to stop it.
  QUORVIN_WERROR=OFF bash scripts/build.sh >&2
fi
if [ ! -f "$build/CPackConfig.cmake" ]; then
  echo "package: $build is not a configured build folder (run scripts/build.sh first)" >&2
  exit 1
fi

# Only what the package holds; up to date already after a full build.
cmake --build "$build" --target quorvin_package_files -j"${JOBS:-2}" >&2

cd "$build"
rm -f quorvin_*.deb
# cpack installs the build into a staging folder, strips the programs, runs dpkg-shlibdeps for
# the library dependencies and writes quorvin_<version>_<arch>.deb here.
if ! cpack -G DEB --config CPackConfig.cmake >cpack.log 2>&1; then
  cat cpack.log >&2
  echo "package: cpack failed (log above, also in $build/cpack.log)" >&2
  exit 1
fi
debs=(quorvin_*.deb)
if [ ! -f "${debs[0]}" ]; then
  echo "package: cpack wrote no quorvin_*.deb (see $build/cpack.log)" >&2
  exit 1
fi
echo "$build/${debs[0]}"
