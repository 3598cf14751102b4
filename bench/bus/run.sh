#!/usr/bin/env bash
# Runs the bus benchmark: knxd with the device emulator as its client (TP1
# pacing on, then off), dx47x downloads through it. $1: the build folder.
set -euo pipefail
BUILD_DIR=${1:?usage: run.sh BUILD_DIR}
cmake --build "$BUILD_DIR" --target bus_bench dx47x-device-emulator DX47x >/dev/null
KNXD=$(command -v knxd || true)
if [ -z "$KNXD" ]; then
  echo "bus benchmark skipped: knxd is not installed (scripts/setup.sh installs it)"
  exit 0
fi
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# Starts knxd and the emulator (first client: address 0.0.2) in $work/$1.
start() {
  local dir="$work/$1"
  shift
  mkdir -p "$dir"
  "$KNXD" -e 0.0.1 -E 0.0.2:8 -u "$dir/eib" -b dummy: >"$dir/knxd.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do [ -S "$dir/eib" ] && break; sleep 0.05; done
  "$BUILD_DIR/bin/dx47x-device-emulator" --knxd "$dir/eib" "$@" >"$dir/emulator.out" 2>"$dir/emulator.err" &
  pids+=($!)
  for _ in $(seq 100); do grep -q ready "$dir/emulator.out" 2>/dev/null && break; sleep 0.05; done
}

status=0
start paced --tp1
"$BUILD_DIR/bin/bus_bench" "$work/paced" "$BUILD_DIR/bin/DX47x.so" "knxd:$work/paced/eib" 0.0.2 paced || status=1
start unpaced
"$BUILD_DIR/bin/bus_bench" "$work/unpaced" "$BUILD_DIR/bin/DX47x.so" "knxd:$work/unpaced/eib" 0.0.2 unpaced || status=1
exit $status
