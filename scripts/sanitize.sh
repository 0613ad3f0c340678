#!/usr/bin/env bash
# Builds the program and the whole test suite with AddressSanitizer and
# UndefinedBehaviorSanitizer in build-asan/ and runs the tests there. scripts/lsan.supp
# suppresses only leaks inside Qt and the font libraries, never one of ours.
set -euo pipefail
cd "$(dirname "$0")/.."
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LOREWICK_BUILD_DIR=${LOREWICK_BUILD_DIR:-build-asan}
export LOREWICK_CMAKE_ARGS="-DLOREWICK_SANITIZE=ON -DLOREWICK_BENCHMARKS=OFF"
exec scripts/test.sh
