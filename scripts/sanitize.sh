#!/usr/bin/env bash
# Builds the test programs with AddressSanitizer and UndefinedBehaviorSanitizer into
# ./build-sanitize and runs them. Any report fails the test that caused it: undefined behaviour
# halts the program, and LeakSanitizer's exit status fails a test that leaks. Known leaks of
# the libraries below us are listed, each with its reason, in scripts/sanitize/lsan.supp.
#
# The desktop programs' tests (test_gui, test_app, test_login) are left out: they need a display
# and, for the login window, Qt WebEngine, whose Chromium runs its own allocator and sandbox
# and does not start under AddressSanitizer. Everything below them runs here.
#
# Usage: bash scripts/sanitize.sh [ctest arguments, e.g. -R Runner]
# TARGETS="test_sites" limits the build to those targets (then pass the matching -R).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
started=$SECONDS

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# GCC's "undefined" group leaves out float-cast-overflow (a double too large for the integer it
# becomes); it is asked for by name. Nothing recovers: the first report halts the program.
flags="-fsanitize=address,undefined,float-cast-overflow -fno-omit-frame-pointer -fno-sanitize-recover=all"
# Warnings are checked as errors by the normal build; the sanitizers' instrumentation makes GCC
# report false -Wstringop-overflow and -Wmaybe-uninitialized warnings, so not here.
cmake -S . -B build-sanitize -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUORVIN_BUILD_BENCH=OFF -DQUORVIN_WERROR=OFF -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined,float-cast-overflow" \
  -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined,float-cast-overflow" >/dev/null

core_tests="test_support test_core test_net test_sites test_channels test_legacy test_manager test_cli"
# Listing the tests at build time runs each program once; it must not fail on a leak report.
# shellcheck disable=SC2086
ASAN_OPTIONS=detect_leaks=0 cmake --build build-sanitize -j"${JOBS:-2}" --target ${TARGETS:-$core_tests quorvin-cli}
built=$SECONDS
echo "sanitize.sh: build took $((built - started)) s"

# The test programs and the quorvin-cli they start inherit these.
export ASAN_OPTIONS="detect_leaks=1:check_initialization_order=1:detect_stack_use_after_return=0:abort_on_error=0"
export LSAN_OPTIONS="suppressions=$root/scripts/sanitize/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$root/scripts/sanitize/ubsan.supp"
cd build-sanitize
status=0
# Sanitized programs run a few times slower: a longer limit per test than the normal run.
# Only the programs built here run: their tests are picked by their folders' labels (the
# desktop programs' and the package's are not built, so they are not asked for).
ctest --output-on-failure -j"${JOBS:-2}" --timeout 600 \
  -L '^(support|core|net|sites|channels|legacy|manager|cli)$' "$@" || status=$?
echo "sanitize.sh: tests took $((SECONDS - built)) s"
exit $status
