#!/usr/bin/env bash
# Builds the fuzz targets with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer and runs the reader's target for SECONDS
# (default 600). Findings land in build-fuzz/findings; the exit status is
# that of the fuzzer (0: clean).
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_TO_RUN=${1:-600}
BUILD=${BUILD_DIR:-build-fuzz}

if ! command -v clang++ >/dev/null || ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  apt-get install -y clang libclang-rt-dev >/dev/null || apt-get install -y clang-14 libclang-rt-14-dev >/dev/null
fi

CC=clang CXX=clang++ cmake -S fuzz -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j2 --target fuzz_xmlreader >/dev/null

mkdir -p "$BUILD/corpus" "$BUILD/findings"
cp -n fuzz/seeds/* "$BUILD/corpus/" 2>/dev/null || true
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
exec "$BUILD/bin/fuzz_xmlreader" -max_total_time="$SECONDS_TO_RUN" -max_len=65536 \
  -rss_limit_mb=2048 -artifact_prefix="$BUILD/findings/" -print_final_stats=1 "$BUILD/corpus"
