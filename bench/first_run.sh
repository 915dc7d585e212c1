#!/usr/bin/env bash
# Time from scripts/run.sh on a built tree to the main window on screen with
# the lab host simulator ready (run.sh starts the window only once the
# simulator's link is in place), on a virtual X server; the median of RUNS
# runs (default 5). The build's settings file is set aside while it runs.
#
#   bench/first_run.sh [RUNS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-5}

if [ "${1:-}" = "--inside-display" ]; then
  runs=$2
  times=()
  for ((i = 0; i < runs; i++)); do
    rm -f "$root/build/app/trevalon.dat"
    start=$(date +%s%N)
    "$root/scripts/run.sh" >/dev/null 2>&1 &
    run=$!
    xdotool search --sync --onlyvisible --name '^Trevalon$' >/dev/null
    shown=$(date +%s%N)
    [ -e "$root/build/trevalon-host.port" ] || { echo "simulator link missing" >&2; exit 1; }
    times+=($(((shown - start) / 1000000)))
    # Close the window: the program is run.sh's child named trevalon.
    for child in $(pgrep -P "$run"); do
      [ "$(cat /proc/"$child"/comm 2>/dev/null)" = trevalon ] && kill -TERM "$child"
    done
    wait "$run" || true
    [ ! -e "$root/build/trevalon-host.port" ] || { echo "link left behind" >&2; exit 1; }
  done
  sorted=($(printf '%s\n' "${times[@]}" | sort -n))
  echo "scripts/run.sh to window shown with the simulator ready: median ${sorted[$((runs / 2))]} ms" \
       "(runs: ${times[*]} ms)"
  exit 0
fi

"$root/scripts/deps.sh" screenshot
cmake --build "$root/build" --target trevalon trevalon-host >/dev/null
saved=$(mktemp)
had=0
if [ -f "$root/build/app/trevalon.dat" ]; then cp "$root/build/app/trevalon.dat" "$saved"; had=1; fi
restore() {
  if [ $had -eq 1 ]; then cp "$saved" "$root/build/app/trevalon.dat"; else rm -f "$root/build/app/trevalon.dat"; fi
  rm -f "$saved"
}
trap restore EXIT
xvfb-run -a -s "-screen 0 1024x768x24" "$0" --inside-display "$runs"
