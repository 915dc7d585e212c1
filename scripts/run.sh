#!/usr/bin/env bash
# Sets up, builds and starts Trevalon.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
cmake -S "$root" -B "$root/build" -G Ninja
cmake --build "$root/build" -j "$(nproc)"
if [ -x "$root/build/app/trevalon" ]; then
  exec "$root/build/app/trevalon" "$@"
fi
echo "Built the libraries; the window arrives with the app layer."
