#!/usr/bin/env bash
# Takes docs/screenshot.png: the main window on a virtual X server, talking to
# the lab host simulator: job 1234 requested, box B changed from 44.02 to
# 46 mm, with the received outline and the detailed grid shown.
#
#   scripts/screenshot.sh [output.png]
#   scripts/screenshot.sh --scale 2 [output.png]
#   scripts/screenshot.sh --windows [output.png]
#
# --scale 2 takes docs/screenshot-200.png: the same at a display scale of
# 200 % (QT_SCALE_FACTOR=2), the window twice the size in pixels.
# --windows takes docs/screenshot-windows.png the same way from the Windows
# package (scripts/package-windows.sh) under Wine, in the private Wine prefix
# of scripts/test-windows.sh (run that once first): its COM28 leads to the
# simulator's line.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

if [ "${1:-}" = "--inside-display" ]; then
  # Second half, run by xvfb-run: drive the window as an operator would.
  program=$2
  out=$3
  if [ "${program##*.}" = exe ]; then
    wine "$program" &
  else
    "$program" &
  fi
  pid=$!
  trap 'kill "$pid" 2>/dev/null || true; [ "${program##*.}" = exe ] && wineserver -k 2>/dev/null || true' EXIT
  win=$(xdotool search --sync --onlyvisible --name '^Trevalon$' | head -n 1)
  eval "$(xdotool getwindowgeometry --shell "$win")"  # sets X, Y, WIDTH, HEIGHT
  scale=${TREVALON_SHOT_SCALE:-1}
  click() { xdotool mousemove --sync $((X + $1 * scale)) $((Y + $2 * scale)) click "${3:-1}"; }
  settle() { sleep 0.4; }

  settle
  click 79 36                          # the tray field
  xdotool type --delay 80 1234
  xdotool key Return                   # Request Shape
  sleep 2                              # the conversation at the simulator's pace
  click 22 130                         # Show Orig Shape
  click 22 146                         # Detailed Grid
  click 372 50                         # box B
  xdotool key ctrl+a
  xdotool type --delay 80 46
  settle
  import -window "$win" "$out"
  exit 0
fi

windows=0
scale=1
if [ "${1:-}" = "--windows" ]; then
  windows=1
  shift
fi
if [ "${1:-}" = "--scale" ]; then
  scale=$2
  shift 2
  case "$scale" in 1|2) ;; *) echo "--scale takes 1 or 2" >&2; exit 2 ;; esac
fi
default=$root/docs/screenshot.png
[ "$scale" = 2 ] && default=$root/docs/screenshot-200.png
[ "$windows" = 1 ] && default=$root/docs/screenshot-windows.png
out=$(realpath -m "${1:-$default}")
. "$root/scripts/common.sh"
"$root/scripts/deps.sh" screenshot

if [ "$windows" = 1 ]; then
  build=${TREVALON_WIN_BUILD:-$root/build-win}
  version=$(sed -n 's/^project(Trevalon VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
  package=$build/package/trevalon-$version-windows-x64
  # The simulator scripts/test-windows.sh used: the Linux build's, or its own.
  host=$root/build/tools/trevalon-host
  [ -e "$host" ] || host=$build/host/tools/trevalon-host
  for need in "$package/trevalon.exe" "$host" "$build/wineprefix/system.reg" "$build/pty_modem_shim.so"; do
    [ -e "$need" ] || { echo "Missing $need: run scripts/test-windows.sh and scripts/package-windows.sh first" >&2; exit 1; }
  done
  export WINEPREFIX=$build/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
  export LD_PRELOAD=$build/pty_modem_shim.so  # no real serial port can be opened
  work=$(mktemp -d)
  mkdir "$work/jobs"
  cp "$root/tests/data/oma-samples/R360_3.oma" "$work/jobs/1234.oma"
  cp -r "$package" "$work/program"
  printf '%s\r\n' BaudRate=9600 Parity=None DataBits=8 StopBits=1 Points=512 Port=COM28 \
    PauseMode=N >"$work/program/trevalon.dat"
  "$host" --jobs "$work/jobs" --link "$build/wine-ports/com28" --log "$work/host.log" &
  hostpid=$!
  trap 'kill "$hostpid" 2>/dev/null || true; wait "$hostpid" 2>/dev/null || true; rm -rf "$work"' EXIT
  mkdir -p "$(dirname "$out")"
  xvfb-run -a -s "-screen 0 1024x768x24" "$0" --inside-display "$work/program/trevalon.exe" "$out"
  echo "Wrote $out"
  exit 0
fi
require_own_build_dir "$root/build"
cmake -S "$root" -B "$root/build" -G Ninja "$unity_build" >/dev/null
cmake --build "$root/build" --target trevalon trevalon-host -j 2
# A copy in a fresh folder with its own settings naming a simulator of its own.
work=$(mktemp -d)
mkdir "$work/jobs"
cp "$root/tests/data/oma-samples/R360_3.oma" "$work/jobs/1234.oma"
"$root/build/tools/trevalon-host" --jobs "$work/jobs" --link "$work/port" --log "$work/host.log" &
host=$!
trap 'kill "$host" 2>/dev/null || true; wait "$host" 2>/dev/null || true; rm -rf "$work"' EXIT
deadline=$((SECONDS + 10))
until [ -e "$work/port" ]; do
  [ $SECONDS -lt $deadline ] && kill -0 "$host" || { cat "$work/host.log" >&2; exit 1; }
  sleep 0.05
done
cp "$root/build/app/trevalon" "$work/trevalon"
printf '%s\r\n' BaudRate=9600 Parity=None DataBits=8 StopBits=1 Points=512 "Port=$work/port" \
  PauseMode=N >"$work/trevalon.dat"
mkdir -p "$(dirname "$out")"
if [ "$scale" = 2 ]; then
  QT_SCALE_FACTOR=2 TREVALON_SHOT_SCALE=2 \
    xvfb-run -a -s "-screen 0 2048x1536x24" "$0" --inside-display "$work/trevalon" "$out"
else
  xvfb-run -a -s "-screen 0 1024x768x24" "$0" --inside-display "$work/trevalon" "$out"
fi
echo "Wrote $out"
