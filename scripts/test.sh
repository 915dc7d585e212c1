#!/usr/bin/env bash
# Sets up and runs the whole test suite.
#   scripts/test.sh              normal build in build/
#   scripts/test.sh --sanitize   AddressSanitizer + UBSan build in build-asan/
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/common.sh"
"$root/scripts/deps.sh"

build="$root/build"
# Both trees compile in batches of files (see unity_build in common.sh);
# lint, which reads the files one by one, keeps a tree of its own.
extra=("$unity_build" -DTREVALON_PACKAGE=OFF)
if [ "${1:-}" = "--sanitize" ]; then
  build="$root/build-asan"
  extra+=(-DTREVALON_SANITIZE=ON -DTREVALON_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug)
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0
fi

require_own_build_dir "$build"
cmake -S "$root" -B "$build" -G Ninja "${extra[@]}"
cmake --build "$build" -j "$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" --timeout 300
