#!/usr/bin/env bash
# Sets everything up, then starts Lorewick on the sample data.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
exec build/bin/lorewick "$@"
