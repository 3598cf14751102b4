#!/usr/bin/env bash
# Sets up the machine, builds, and runs the whole test suite through CTest.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/setup.sh
cd "$BUILD_DIR"
ctest --output-on-failure -j"$(nproc)" --timeout 600
