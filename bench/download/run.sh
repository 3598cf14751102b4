#!/usr/bin/env bash
# Runs the download benchmark in a temporary folder. $1: the build folder.
set -euo pipefail
BUILD_DIR=${1:?usage: run.sh BUILD_DIR}
cmake --build "$BUILD_DIR" --target download_bench DX47x >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$BUILD_DIR/bin/download_bench" "$work" "$BUILD_DIR/bin/DX47x.so"
