#!/usr/bin/env bash
# Checks the naming convention (and the other clang-tidy checks named in
# .clang-tidy as errors) over every source file of a configured build.
#   scripts/lint.sh [BUILD_DIR]     default: build/
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh" lint
build="${1:-$root/build}"
[ -f "$build/compile_commands.json" ] || cmake -S "$root" -B "$build" -G Ninja >/dev/null
# Generated sources (moc, autogen) need to exist before clang-tidy reads them.
cmake --build "$build" -j "$(nproc)" >/dev/null
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
