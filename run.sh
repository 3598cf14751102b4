#!/usr/bin/env bash
# Sets up the machine, builds, and runs the main job.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/setup.sh
export DX47X_HOME=${DX47X_HOME:-$PWD/out/home}
mkdir -p "$DX47X_HOME"
# The demo registers the modules, adds and configures a device on its own
# project and downloads it completely, then partially after a small change.
"$BUILD_DIR"/bin/dx47x-host demo
"$BUILD_DIR"/bin/dx47x-host info
