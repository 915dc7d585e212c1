#!/usr/bin/env bash
# The MSI: its size, the installed size, and the time of a silent install and
# of a silent removal under Wine, medians of N rounds in a private prefix
# (build-win/msi-bench). Run scripts/package-windows.sh first.
#   bench/msi_install.sh [runs]      (default 5)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-5}
build=${TREVALON_WIN_BUILD:-$root/build-win}
version=$(sed -n 's/^project(Trevalon VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
msi=$build/trevalon-$version-x64.msi
[ -f "$msi" ] || { echo "No $msi: run scripts/package-windows.sh first" >&2; exit 1; }
export WINEPREFIX=$build/msi-bench WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
rm -rf "$WINEPREFIX"
# Installing shows no window (/qn), so no display is needed.
DISPLAY= wineboot -i >/dev/null 2>&1
wineserver -p 600 >/dev/null 2>&1 &   # one server for every round
trap 'wineserver -k 2>/dev/null || true' EXIT
target="$WINEPREFIX/drive_c/Program Files/Trevalon"
winmsi=$(winepath -w "$msi")
now() { date +%s.%N; }
installs=() removals=()
for _ in $(seq 1 "$runs"); do
  start=$(now)
  DISPLAY= wine msiexec /i "$winmsi" /qn
  installs+=("$(awk -v a="$start" -v b="$(now)" 'BEGIN { print b - a }')")
  installed=$(du -sk "$target" | cut -f1)
  start=$(now)
  DISPLAY= wine msiexec /x "$winmsi" /qn
  removals+=("$(awk -v a="$start" -v b="$(now)" 'BEGIN { print b - a }')")
done
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { printf "%.2f", v[int((NR + 1) / 2)] }'; }
echo "MSI size:          $(du -k "$msi" | cut -f1) KiB"
echo "installed size:    $installed KiB (Program Files\\Trevalon)"
echo "silent install:    $(median "${installs[@]}") s (median of $runs)"
echo "silent removal:    $(median "${removals[@]}") s (median of $runs)"
