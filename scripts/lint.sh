#!/usr/bin/env bash
# Checks the naming convention (and the other clang-tidy checks named in
# .clang-tidy as errors) over every source file of the project.
#   scripts/lint.sh [BUILD_DIR]     default: build-lint/
# clang-tidy reads each file on its own, as it is written, so a missing
# #include fails here: it needs a tree configured file by file, while the
# suite's build/ compiles in batches (a unity build). Lint keeps that tree
# apart and compiles nothing in it: it generates only what the sources may
# include (Qt's moc output; the JSON headers are copied at configure time).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/common.sh"
"$root/scripts/deps.sh" lint
build="${1:-$root/build-lint}"
require_own_build_dir "$build"
if grep -Eqis '^CMAKE_UNITY_BUILD:[A-Z]*=(ON|TRUE|YES|Y|1)$' "$build/CMakeCache.txt"; then
  echo "lint: $build compiles files in batches (a unity build), and lint reads them one by one." >&2
  echo "Give it a folder of its own, or none (it uses build-lint/)." >&2
  exit 2
fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_UNITY_BUILD=OFF >/dev/null
# Qt's moc as the build runs it (the build's own commands), without first
# compiling the libraries that the build makes it wait for.
ninja -C "$build" -t commands | { grep -F -e ' -E cmake_autogen ' || true; } |
  while IFS= read -r command; do
    sh -c "$command" || exit 1
  done
out=$(mktemp)
db=$(mktemp -d)
trap 'rm -rf "$out" "$db"' EXIT
# The test programs' precompiled headers are GCC's: clang reads each file
# without them, as it is written.
python3 - "$build/compile_commands.json" "$db/compile_commands.json" <<'PY'
import json, shlex, sys
entries = [e for e in json.load(open(sys.argv[1])) if not e["file"].endswith("cmake_pch.hxx.cxx")]
for entry in entries:
    words = shlex.split(entry["command"])
    kept = []
    skip = False
    for i, word in enumerate(words):
        if skip:
            skip = False
        elif word == "-include" and i + 1 < len(words) and words[i + 1].endswith("cmake_pch.hxx"):
            skip = True
        elif word != "-Winvalid-pch":
            kept.append(word)
    entry["command"] = shlex.join(kept)
json.dump(entries, open(sys.argv[2], "w"), indent=1)
PY
if ! run-clang-tidy -p "$db" -j "$(nproc)" -quiet \
    -checks='-*,readability-identifier-naming' \
    "$root/(app|cli|conversation|link|shape|oma|serial|serialqt|crash|settings|tools|tests|bench|fuzz)/" >"$out" 2>&1; then
  grep -E 'error:|warning:' "$out" | sort -u >&2 || cat "$out" >&2
  echo "lint: naming convention violated (see .clang-tidy)" >&2
  exit 1
fi
if grep -q '\[readability-identifier-naming' "$out"; then
  grep '\[readability-identifier-naming' "$out" | sort -u >&2
  echo "lint: naming convention violated (see .clang-tidy)" >&2
  exit 1
fi
echo "lint: naming convention holds"
