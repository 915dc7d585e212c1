#!/usr/bin/env bash
# Takes docs/screenshot.png: the main window on a virtual X server, with the
# flower pot preset loaded from the tray field's menu, box B changed to 58 mm
# over the whole shape ("Lock B at Datum" unticked), and the received outline
# and the detailed grid shown.
#
#   scripts/screenshot.sh [output.png]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

if [ "${1:-}" = "--inside-display" ]; then
  # Second half, run by xvfb-run: drive the window as an operator would.
  program=$2
  out=$3
  "$program" &
  pid=$!
  trap 'kill "$pid" 2>/dev/null || true' EXIT
  win=$(xdotool search --sync --onlyvisible --name '^Trevalon$' | head -n 1)
  eval "$(xdotool getwindowgeometry --shell "$win")"  # sets X, Y, WIDTH, HEIGHT
  click() { xdotool mousemove --sync $((X + $1)) $((Y + $2)) click "${3:-1}"; }
  settle() { sleep 0.4; }

  settle
  click 79 36 3                        # right-click the tray field: the preset menu
  settle
  xdotool key Down Down Down Down Return  # Circle, Square, Diamond, Flower Pot
  settle
  click 22 130                         # Show Orig Shape
  click 22 146                         # Detailed Grid
  click 319 137                        # untick Lock B at Datum
  click 372 50                         # box B
  xdotool key ctrl+a
  xdotool type --delay 80 58
  settle
  import -window "$win" "$out"
  exit 0
fi

out=$(realpath -m "${1:-$root/docs/screenshot.png}")
. "$root/scripts/common.sh"
"$root/scripts/deps.sh" screenshot
require_own_build_dir "$root/build"
cmake -S "$root" -B "$root/build" -G Ninja >/dev/null
cmake --build "$root/build" --target trevalon -j 2
# A copy in a fresh folder starts with no settings file, so no port is opened.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$root/build/app/trevalon" "$work/trevalon"
mkdir -p "$(dirname "$out")"
xvfb-run -a -s "-screen 0 1024x768x24" "$0" --inside-display "$work/trevalon" "$out"
echo "Wrote $out"
