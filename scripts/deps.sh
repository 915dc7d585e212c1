#!/usr/bin/env bash
# Installs the Debian packages Trevalon needs, when any is missing. As root it
# runs apt-get; otherwise it prints the command to run (with sudo) and fails.
#
#   scripts/deps.sh            building, running and testing on Linux (run.sh, test.sh)
#   scripts/deps.sh GROUP...   that, plus: fuzz, screenshot, package, lint, windows, or all
set -euo pipefail

# Building, running and testing on Linux: everything scripts/run.sh and
# scripts/test.sh use, and nothing more (the Windows tool chain is the
# windows group). xdg-utils is the desktop opener that shows the help file and
# the log; shared-mime-info, desktop-file-utils and libglib2.0-bin (gio) let a
# test look up the installed .oma file type and its program as a desktop does;
# poppler-utils renders the printed PDF in the print test (pdftoppm);
# python3-jsonschema checks trevalon-cli's JSON against its schema.
# ser2net is the serial device server the network link tests bridge to the simulator.
# qt6-l10n-tools has lupdate and lrelease, which build the window's translations
# and check them in the suite; qt6-translations-l10n has Qt's own, for the
# standard buttons and dialogs in the operator's language.
base=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-l10n-tools qt6-translations-l10n libpcre2-dev nlohmann-json3-dev libfontconfig-dev
  libboost-stacktrace-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xdg-utils shared-mime-info desktop-file-utils libglib2.0-bin
  poppler-utils
  python3 python3-jsonschema
  ser2net
)
declare -A groups=(
  [fuzz]="clang libclang-rt-14-dev"
  [screenshot]="xvfb xauth imagemagick xdotool fonts-liberation"
  # The .deb: CPack's dpkg-shlibdeps, the menu entry's check, lintian,
  # help2man, which makes the manual pages from the programs' --help, man-db,
  # whose man shows them in their test, and
  # systemd-analyze for the lab host's service unit.
  [package]="dpkg-dev desktop-file-utils lintian help2man man-db systemd"
  [lint]="clang-tidy"
  # Cross-building for Windows, running it under Wine on one virtual display,
  # and the MSI (wixl, with msiinfo from msitools to check it).
  [windows]="g++-mingw-w64-x86-64-posix wine wine64 xvfb msitools wixl"
)

packages=("${base[@]}")
for group in "$@"; do
  if [ "$group" = all ]; then
    for g in "${!groups[@]}"; do read -ra more <<<"${groups[$g]}"; packages+=("${more[@]}"); done
  elif [ -n "${groups[$group]+set}" ]; then
    read -ra more <<<"${groups[$group]}"
    packages+=("${more[@]}")
  else
    echo "deps.sh: unknown group '$group' (fuzz, screenshot, package, lint, windows, all)" >&2
    exit 2
  fi
done

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
  echo "Trevalon needs Debian packages that are not installed. Install them once with" >&2
  echo "  sudo apt-get update && sudo apt-get install -y --no-install-recommends ${missing[*]}" >&2
  echo "(or: sudo scripts/deps.sh${*:+ $*}), then run the scripts as yourself again." >&2
  exit 1
fi
