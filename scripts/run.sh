#!/usr/bin/env bash
# Sets up, builds and starts Trevalon.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
cmake -S "$root" -B "$root/build" -G Ninja
cmake --build "$root/build" --target trevalon -j "$(nproc)"
# The settings file lives beside the program: build/app/trevalon.dat.
exec "$root/build/app/trevalon" "$@"
