#!/usr/bin/env bash
# Sets up the machine, builds, and runs the main job.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/setup.sh
export DX47X_HOME=${DX47X_HOME:-$PWD/out/home}
mkdir -p "$DX47X_HOME"
"$BUILD_DIR"/bin/dx47x-host register
"$BUILD_DIR"/bin/dx47x-host info
