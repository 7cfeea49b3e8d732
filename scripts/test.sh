#!/bin/sh
# Installs what is missing, builds and runs every test: once in a normal build, then again
# with AddressSanitizer and UndefinedBehaviorSanitizer.
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
sh scripts/check-format.sh
jobs=$(nproc)

sh scripts/build.sh build -DFLASHGRAB_BUILD_APP=ON -DFLASHGRAB_WERROR=ON
(cd build && ctest --output-on-failure --timeout 600 -j "$jobs")

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export LSAN_OPTIONS="suppressions=$(pwd)/tests/support/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# Optimised less and with line tables only: the sanitizers' reports still name every line, and
# the tree builds in about half the time.
sh scripts/build.sh build-asan -DFLASHGRAB_SANITIZE=ON -DFLASHGRAB_BUILD_BENCH=OFF -DFLASHGRAB_BUILD_APP=ON \
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG"
# The web engine cannot run under the sanitizers; its tests run in the first pass only.
(cd build-asan && ctest --output-on-failure --timeout 900 -j "$jobs" -LE webengine)
# Every fuzz target for a short while; skipped with a message where clang's libFuzzer is missing.
sh scripts/fuzz.sh 10
