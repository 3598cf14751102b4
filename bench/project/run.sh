#!/usr/bin/env bash
# Runs the project store benchmark in a temporary folder. $1: the build folder.
set -euo pipefail
BUILD_DIR=${1:?usage: run.sh BUILD_DIR}
cmake --build "$BUILD_DIR" --target project_bench >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$BUILD_DIR/bin/project_bench" "$work" "${DEVICES:-1000}"
