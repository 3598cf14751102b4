#!/usr/bin/env bash
# Run by ./bench.sh with the build folder as $1: builds xml_bench and runs it
# on a fresh folder.
set -euo pipefail
BUILD=${1:?build folder}
cmake --build "$BUILD" -j2 --target xml_bench >/dev/null
# In memory where the machine has it: a disk's writeback makes the writers'
# times vary from turn to turn.
WORK=$(mktemp -d -p /dev/shm 2>/dev/null || mktemp -d)
trap 'rm -rf "$WORK"' EXIT
"$BUILD/bin/xml_bench" "$WORK" "${XML_BENCH_LEAVES:-400000}" "${XML_BENCH_RUNS:-5}"
