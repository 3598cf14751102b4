#!/usr/bin/env bash
# Runs the editor list benchmark without a display. $1: the build folder.
set -euo pipefail
BUILD_DIR=${1:?usage: run.sh BUILD_DIR}
cmake --build "$BUILD_DIR" --target ui_bench >/dev/null
QT_QPA_PLATFORM=offscreen "$BUILD_DIR/bin/ui_bench"
