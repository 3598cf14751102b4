#!/usr/bin/env bash
# Builds (optimised) and runs every benchmark: bench/*/run.sh, each given the
# build folder. Each reports its figures as ratios against a peer measured in
# the same run.
set -euo pipefail
cd "$(dirname "$0")"
BUILD_DIR=${BUILD_DIR:-build-bench} BUILD_TYPE=Release
export BUILD_DIR BUILD_TYPE
source scripts/setup.sh
status=0
for run in bench/*/run.sh; do
  echo "== ${run%/run.sh}"
  bash "$run" "$PWD/$BUILD_DIR" || status=1
done
exit $status
