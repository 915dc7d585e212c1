#!/usr/bin/env bash
# Start-up of the main window against a bare Qt Widgets window of the same
# size: wall time from process start to the window shown and the event loop
# idle, and peak resident memory. Medians of N alternating runs. A second
# yardstick, the bare window showing one label and one line edit, tells the
# cost of Qt's text stack (which the bare window never pays) from the rest.
# The main window runs twice: in English and in German (LANGUAGE=de, its
# translation loaded before the window is made), the latter's ratio to the
# former is the cost of a translation (aim: within 3 %).
#   bench/startup.sh [build-dir] [runs]
#   bench/startup.sh --windows [runs]   the Windows build under Wine, in the
#                     Wine prefix of scripts/test-windows.sh (run that first)
# Uses the display in DISPLAY, else Xvfb through xvfb-run when present, else
# Qt's offscreen platform.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runner=""
suffix=""
if [ "${1:-}" = "--windows" ]; then
  build=${TREVALON_WIN_BUILD:-$root/build-win}/tree
  runs=${2:-10}
  runner=$(dirname "$build")/kit/prefix/share/winkit/wine-run.sh
  suffix=.exe
  export WINEPREFIX=$(dirname "$build")/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
  set -- "$build" "$runs"
  wineserver -p 600 >/dev/null 2>&1 &  # one server for all runs, as a running desktop has
else
  build=${1:-$root/build}
  runs=${2:-20}
fi
export STARTUP_RUNNER=$runner
cmake --build "$build" --target startup_trevalon startup_minimal startup_text >/dev/null

measure() {
  python3 - "$build/bench/startup_minimal$suffix" "$build/bench/startup_text$suffix" \
    "$build/bench/startup_trevalon$suffix" "$runs" <<'PY'
import os, statistics, subprocess, sys, tempfile, time
minimal, text, trevalon, runs = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
runner = [os.environ["STARTUP_RUNNER"]] if os.environ.get("STARTUP_RUNNER") else []
german = "german"
results = {minimal: ([], []), text: ([], []), trevalon: ([], []), german: ([], [])}
english_env = dict(os.environ, LANGUAGE="en")
german_env = dict(os.environ, LANGUAGE="de")
runs_of = [(minimal, minimal, english_env), (text, text, english_env),
           (trevalon, trevalon, english_env)]
# Windows takes its language from the user's settings, not LANGUAGE: Linux only.
if not runner:
    runs_of.append((german, trevalon, german_env))
# The measured program keeps no settings file beside itself: a first start.
for _ in range(runs):
    for key, prog, env in runs_of:
        start = time.time_ns()
        # Through a file, not a pipe: Wine's helper processes would hold a pipe open.
        with tempfile.TemporaryFile("w+") as f:
            subprocess.run(runner + [prog], stdout=f, stderr=subprocess.DEVNULL, timeout=60, env=env)
            f.seek(0)
            out = f.read()
        fields = dict(f.split("=") for f in out.split())
        results[key][0].append((int(fields["idle_ns"]) - start) / 1e6)
        results[key][1].append(int(fields["peak_kb"]))
platform = os.environ.get("QT_QPA_PLATFORM") or ("xcb" if os.environ.get("DISPLAY") else "?")
print(f"platform: {platform}, runs: {runs}")
t = {p: statistics.median(v[0]) for p, v in results.items() if v[0]}
m = {p: statistics.median(v[1]) for p, v in results.items() if v[1]}
if runner:  # Wine's own processes hold most of the memory: only the time means something
    print(f"minimal Qt window   : {t[minimal]:7.1f} ms")
    print(f"  with a label, edit: {t[text]:7.1f} ms")
    print(f"Trevalon window     : {t[trevalon]:7.1f} ms")
    print(f"ratio to minimal    : {t[trevalon] / t[minimal]:7.2f} x")
    print(f"ratio to text window: {t[trevalon] / t[text]:7.2f} x")
    sys.exit(0)
print(f"minimal Qt window   : {t[minimal]:7.1f} ms  {m[minimal] / 1024:6.1f} MiB peak")
print(f"  with a label, edit: {t[text]:7.1f} ms  {m[text] / 1024:6.1f} MiB peak")
print(f"Trevalon window     : {t[trevalon]:7.1f} ms  {m[trevalon] / 1024:6.1f} MiB peak")
print(f"ratio to minimal    : {t[trevalon] / t[minimal]:7.2f} x   {m[trevalon] / m[minimal]:6.2f} x")
print(f"ratio to text window: {t[trevalon] / t[text]:7.2f} x   {m[trevalon] / m[text]:6.2f} x")
print(f"Trevalon in German  : {t[german]:7.1f} ms  {m[german] / 1024:6.1f} MiB peak")
print(f"German to English   : {t[german] / t[trevalon]:7.3f} x   {m[german] / m[trevalon]:6.3f} x")
PY
}

if [ -n "${DISPLAY:-}" ]; then
  measure
elif command -v xvfb-run >/dev/null; then
  if [ -n "$runner" ]; then exec xvfb-run -a "$0" --windows "$runs"; fi
  exec xvfb-run -a "$0" "$build" "$runs"
else
  QT_QPA_PLATFORM=offscreen measure
fi
