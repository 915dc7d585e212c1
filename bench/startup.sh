#!/usr/bin/env bash
# Start-up of the main window against a bare Qt Widgets window of the same
# size: wall time from process start to the window shown and the event loop
# idle, and peak resident memory. Medians of N alternating runs.
#   bench/startup.sh [build-dir] [runs]
# Uses the display in DISPLAY, else Xvfb through xvfb-run when present, else
# Qt's offscreen platform.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
runs=${2:-20}
cmake --build "$build" --target startup_trevalon startup_minimal >/dev/null

measure() {
  python3 - "$build/bench/startup_minimal" "$build/bench/startup_trevalon" "$runs" <<'PY'
import os, statistics, subprocess, sys, tempfile, time
minimal, trevalon, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
results = {minimal: ([], []), trevalon: ([], [])}
# The measured program keeps no settings file beside itself: a first start.
for _ in range(runs):
    for prog in (minimal, trevalon):
        start = time.time_ns()
        out = subprocess.run([prog], capture_output=True, text=True, timeout=60).stdout
        fields = dict(f.split("=") for f in out.split())
        results[prog][0].append((int(fields["idle_ns"]) - start) / 1e6)
        results[prog][1].append(int(fields["peak_kb"]))
platform = os.environ.get("QT_QPA_PLATFORM") or ("xcb" if os.environ.get("DISPLAY") else "?")
print(f"platform: {platform}, runs: {runs}")
t = {p: statistics.median(v[0]) for p, v in results.items()}
m = {p: statistics.median(v[1]) for p, v in results.items()}
print(f"minimal Qt window : {t[minimal]:7.1f} ms  {m[minimal] / 1024:6.1f} MiB peak")
print(f"Trevalon window   : {t[trevalon]:7.1f} ms  {m[trevalon] / 1024:6.1f} MiB peak")
print(f"ratio             : {t[trevalon] / t[minimal]:7.2f} x   {m[trevalon] / m[minimal]:6.2f} x")
PY
}

if [ -n "${DISPLAY:-}" ]; then
  measure
elif command -v xvfb-run >/dev/null; then
  exec xvfb-run -a "$0" "$build" "$runs"
else
  QT_QPA_PLATFORM=offscreen measure
fi
