#!/usr/bin/env bash
# Builds Trevalon and the lab host simulator and starts the program.
#
# The first time (no settings file beside the program) it also starts the
# simulator on a pseudo-terminal serving the sample jobs, copied to build/jobs/,
# and writes a settings file naming that link, so the window talks to a host at
# once (type 1234, press Enter). Closing the window stops the simulator and
# removes the link. While the settings still name that link, every run starts the
# simulator again; once another port is chosen in Settings, only the window starts.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/common.sh"
refuse_root_in_user_tree "$root"
"$root/scripts/deps.sh"

build="$root/build"
require_own_build_dir "$build"
cmake -S "$root" -B "$build" -G Ninja "$unity_build" -DTREVALON_PACKAGE=OFF >/dev/null
# Everything "cmake --install build" installs, so it works after this script too.
cmake --build "$build" --target package_files -j "$(nproc)"

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display: neither DISPLAY nor WAYLAND_DISPLAY is set, so the window cannot open." >&2
  echo "Start it from a desktop session, or on a virtual X server (package xvfb):" >&2
  echo "  xvfb-run -a scripts/run.sh" >&2
  exit 1
fi

program="$build/app/trevalon"
settings="$build/app/trevalon.dat"
link="$build/trevalon-host.port"
jobs="$build/jobs"

port=""
if [ -f "$settings" ]; then
  port=$(grep -i -m 1 '^port=' "$settings" | cut -d= -f2- | tr -d '\r' || true)
fi
if [ -f "$settings" ] && [ "$port" != "$link" ]; then
  exec "$program" "$@"
fi

hostlog="$build/trevalon-host.log"
# The simulator copies the sample jobs (build/samples, by tray number, as the
# packages install them) into build/jobs, keeping jobs already there, so a
# shape stored in one run is what the next run receives. The program's own
# "Try with the sample host" starts it the same way.
"$build/tools/trevalon-host" --jobs "$jobs" --samples "$build/samples" --link "$link" \
  --log "$hostlog" &
host=$!
stop_host() {
  kill -TERM "$host" 2>/dev/null || true
  wait "$host" 2>/dev/null || true
}
trap stop_host EXIT

# The simulator is ready once its link exists.
deadline=$((SECONDS + 10))
until [ -L "$link" ] && [ -e "$link" ]; do
  if ! kill -0 "$host" 2>/dev/null || [ $SECONDS -ge $deadline ]; then
    echo "The lab host simulator did not start; its log ($hostlog):" >&2
    cat "$hostlog" >&2 || true
    exit 1
  fi
  sleep 0.05
done

if [ ! -f "$settings" ]; then
  printf '%s\r\n' BaudRate=9600 Parity=None DataBits=8 StopBits=1 Points=512 \
    "Port=$link" PauseMode=N >"$settings"
fi
echo "Lab host simulator on $link (log: $hostlog), sample jobs in $jobs."
echo "Type 1234 in the tray field and press Enter; the README lists the other trays."
"$program" "$@"
