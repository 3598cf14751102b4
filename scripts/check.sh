#!/usr/bin/env bash
# Format and static checks of the C++ files changed against a base revision
# (default: origin's main when there is one, else HEAD):
#   scripts/check.sh [--fix] [--format-only] [--all] [BASE]
# --fix rewrites the files in place; --format-only skips clang-tidy (what CI
# runs); --all checks every tracked file. clang-tidy reads the compile
# commands of the build folder (BUILD_DIR, default build).
set -euo pipefail
cd "$(dirname "$0")/.."
fix=0 tidy=1 all=0 base=""
for a in "$@"; do
  case "$a" in
    --fix) fix=1 ;;
    --format-only) tidy=0 ;;
    --all) all=1 ;;
    -*) echo "check.sh: unknown option $a" >&2; exit 2 ;;
    *) base="$a" ;;
  esac
done

need() {
  command -v "$1" >/dev/null && return
  if [ "$(id -u)" = 0 ]; then
    apt-get install -y "$2" >/dev/null || { apt-get update >/dev/null && apt-get install -y "$2" >/dev/null; }
  else
    sudo apt-get install -y "$2" >/dev/null
  fi
}
need clang-format clang-format

if [ "$all" = 1 ]; then
  mapfile -t files < <(git ls-files '*.cpp' '*.h')
else
  if [ -z "$base" ]; then
    base=$(git rev-parse --verify -q origin/main || git rev-parse HEAD)
  fi
  mapfile -t files < <({ git diff --name-only --diff-filter=ACMR "$base" -- '*.cpp' '*.h'
                         git ls-files --others --exclude-standard -- '*.cpp' '*.h'; } | sort -u)
fi
[ "${#files[@]}" = 0 ] && { echo "check.sh: no C++ files to check"; exit 0; }

status=0
if [ "$fix" = 1 ]; then
  clang-format -i "${files[@]}"
else
  clang-format --dry-run --Werror "${files[@]}" || status=1
fi

if [ "$tidy" = 1 ]; then
  need clang-tidy clang-tidy
  build=${BUILD_DIR:-build}
  if [ ! -f "$build/compile_commands.json" ]; then
    echo "check.sh: $build/compile_commands.json is missing: run ./test.sh first" >&2
    exit 2
  fi
  sources=()
  for f in "${files[@]}"; do [[ "$f" == *.cpp ]] && sources+=("$f"); done
  if [ "${#sources[@]}" -gt 0 ]; then
    clang-tidy -p "$build" --quiet $([ "$fix" = 1 ] && echo --fix) "${sources[@]}" || status=1
  fi
fi
exit $status
