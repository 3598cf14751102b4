#!/usr/bin/env bash
# Builds the fuzz targets with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer and runs TARGET for SECONDS (default 600), or,
# without TARGET, every target in turn for SECONDS each:
#
#   fuzz/run.sh [SECONDS [TARGET]]
#
# Targets: xmlreader, hive_roundtrip, blob_read, lcd_file, font_file,
# translation, ui_script, procedures, knxd_link, tunnel_link (fuzz_<target>
# in $BUILD/bin). Each starts from fuzz/seeds/<target>/ and keeps its corpus
# in $BUILD/corpus/<target>; findings land in $BUILD/findings/<target>/. The
# exit status is 0 when every target ran clean. With DX47X_BUILD_LOCK set,
# the build (not the fuzzing) runs under flock on that file.
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_TO_RUN=${1:-600}
ONLY=${2:-}
BUILD=${BUILD_DIR:-build-fuzz}
TARGETS=(xmlreader hive_roundtrip blob_read lcd_file font_file translation ui_script procedures knxd_link tunnel_link)

# Longest input per target: room for what each format can hold.
max_len() {
  case "$1" in
    blob_read) echo 131072 ;;       # a whole stored BLOB (112292 bytes) and its header
    lcd_file) echo 40000 ;;         # a device image buffer is 32767 bytes
    font_file) echo 32768 ;;        # the largest font file is 26407 bytes
    translation) echo 65536 ;;      # the limit is 51199 bytes, and keys behind it
    ui_script) echo 16384 ;;
    procedures) echo 8192 ;;
    knxd_link | tunnel_link) echo 4096 ;;  # a download session's answers
    *) echo 65536 ;;
  esac
}

if [ -n "$ONLY" ]; then
  ONLY=${ONLY#fuzz_}
  case " ${TARGETS[*]} " in
    *" $ONLY "*) TARGETS=("$ONLY") ;;
    *) echo "fuzz/run.sh: unknown target '$ONLY' (one of: ${TARGETS[*]})" >&2; exit 2 ;;
  esac
fi

if ! command -v clang++ >/dev/null || ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  apt-get install -y clang libclang-rt-dev >/dev/null || apt-get install -y clang-14 libclang-rt-14-dev >/dev/null
fi

build() {
  if [ -n "${DX47X_BUILD_LOCK:-}" ]; then flock "$DX47X_BUILD_LOCK" "$@"; else "$@"; fi
}
build env CC=clang CXX=clang++ cmake -S fuzz -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
build cmake --build "$BUILD" -j2 --target "${TARGETS[@]/#/fuzz_}" >/dev/null

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=()
for target in "${TARGETS[@]}"; do
  corpus="$BUILD/corpus/$target" findings="$BUILD/findings/$target"
  mkdir -p "$corpus" "$findings"
  cp -n fuzz/seeds/"$target"/* "$corpus/" 2>/dev/null || true
  echo "== fuzz_$target for ${SECONDS_TO_RUN}s"
  if ! "$BUILD/bin/fuzz_$target" -max_total_time="$SECONDS_TO_RUN" -max_len="$(max_len "$target")" \
      -rss_limit_mb=2048 -artifact_prefix="$findings/" -print_final_stats=1 "$corpus"; then
    failed+=("$target")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz/run.sh: findings in: ${failed[*]} (see $BUILD/findings/)" >&2
  exit 1
fi
