#!/usr/bin/env bash
# Runs the editor benchmarks without a display. $1: the build folder.
set -euo pipefail
BUILD_DIR=${1:?usage: run.sh BUILD_DIR}
cmake --build "$BUILD_DIR" --target ui_bench editing_bench dialogs_bench >/dev/null
status=0
QT_QPA_PLATFORM=offscreen "$BUILD_DIR/bin/ui_bench" || status=1
"$BUILD_DIR/bin/editing_bench" || status=1
"$BUILD_DIR/bin/dialogs_bench" || status=1
exit $status
