#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each one.
#   scripts/fuzz.sh [SECONDS] [TARGET...]   (default 30 s per target, all targets)
# New inputs go to build-fuzz/corpus/<target>/ (the seeds in fuzz/corpus stay
# as they are); crashing inputs go to build-fuzz/artifacts/. Exits non-zero
# when any target found a failure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/common.sh"
"$root/scripts/deps.sh" fuzz

seconds=${1:-30}
shift || true
targets=("$@")

build="$root/build-fuzz"
require_own_build_dir "$build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DTREVALON_FUZZ=ON -DTREVALON_TESTS=OFF -DTREVALON_BENCH=OFF >/dev/null
# Every target fuzz/CMakeLists.txt builds, unless some are named.
[ ${#targets[@]} -eq 0 ] && IFS=';' read -r -a targets < "$build/fuzz/targets.txt"
cmake --build "$build" --target fuzz_targets -j "$(nproc)"

export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=()
for t in "${targets[@]}"; do
  mkdir -p "$build/corpus/$t" "$build/artifacts"
  echo "== $t: ${seconds} s"
  if ! "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -max_len=20000 -timeout=10 \
       -print_final_stats=1 -artifact_prefix="$build/artifacts/$t-" \
       "$build/corpus/$t" "$root/fuzz/corpus/$t" 2>"$build/$t.log"; then
    failed+=("$t")
  fi
  grep -E '^(stat::number_of_executed_units|stat::new_units_added|==[0-9]+==ERROR|SUMMARY)' \
       "$build/$t.log" || true
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "Failures in: ${failed[*]} (see $build/<target>.log and $build/artifacts/)" >&2
  exit 1
fi
echo "No failures."
