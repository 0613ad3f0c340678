#!/usr/bin/env bash
# Sets everything up, then runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
ctest --test-dir "${LOREWICK_BUILD_DIR:-build}" --output-on-failure -j2
