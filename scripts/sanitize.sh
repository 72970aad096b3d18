#!/usr/bin/env bash
# Builds the whole suite with AddressSanitizer and UndefinedBehaviorSanitizer into
# ./build-sanitize and runs it. Any report fails the test that caused it: undefined behaviour
# halts the program, and LeakSanitizer's exit status fails a test that leaks. Known leaks of
# the libraries below us are listed, each with its reason, in scripts/sanitize/lsan.supp.
# Usage: bash scripts/sanitize.sh [ctest arguments, e.g. -R Runner]
# TARGETS="test_sites quorvin-cli" limits the build to those targets (run the matching tests).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
flags="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined"
cmake -S . -B build-sanitize -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUORVIN_BUILD_BENCH=OFF -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
# shellcheck disable=SC2086
cmake --build build-sanitize -j"${JOBS:-2}" ${TARGETS:+--target $TARGETS}

# Children (quorvin-cli started by the tests) inherit these.
export ASAN_OPTIONS="detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=0:check_initialization_order=1"
export LSAN_OPTIONS="suppressions=$root/scripts/sanitize/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$root/scripts/sanitize/ubsan.supp"
cd build-sanitize
# Sanitized programs run a few times slower: a longer limit per test than the normal run.
ctest --output-on-failure -j"${JOBS:-2}" --timeout 600 "$@"
