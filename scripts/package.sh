#!/usr/bin/env bash
# Builds the Debian package of Trevalon in the normal build folder:
# build/trevalon_<version>_<arch>.deb, its Depends computed by dpkg-shlibdeps.
#
#   scripts/package.sh           build the package
#   scripts/package.sh --check   and check it: its name, Depends and files, the
#                                menu entry (desktop-file-validate), and that the
#                                program, unpacked and started by an ordinary
#                                user, keeps its settings in that user's
#                                $XDG_CONFIG_HOME (~/.config)/trevalon/
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

if [ "${1:-}" = "--inside-display" ]; then
  # Run by xvfb-run: the unpacked program with a fresh home, in a folder it may
  # not write. Run by root, it runs as nobody, who is in no device group and
  # so cannot open a real serial port while Settings lists them.
  tree=$2
  home=$3
  cp "$XAUTHORITY" "$home/.Xauthority"
  as=()
  if [ "$(id -u)" -eq 0 ]; then
    chown -R nobody "$home"
    as=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
  else
    chmod a-w "$tree/usr/bin"  # as an installed program's folder is
  fi
  "${as[@]}" env -i HOME="$home" DISPLAY="$DISPLAY" XAUTHORITY="$home/.Xauthority" \
    PATH=/usr/bin:/bin "$tree/usr/bin/trevalon" &
  pid=$!
  trap 'kill "$pid" 2>/dev/null || true' EXIT
  win=$(xdotool search --sync --onlyvisible --name '^Trevalon$' | head -n 1)
  eval "$(xdotool getwindowgeometry --shell "$win")"  # X, Y of the main window
  xdotool mousemove --sync $((X + 249)) $((Y + 136)) click 1  # Settings
  dialog=$(xdotool search --sync --onlyvisible --name '^Settings' | head -n 1)
  eval "$(xdotool getwindowgeometry --shell "$dialog")"
  xdotool mousemove --sync $((X + 86)) $((Y + 260)) click 1   # OK
  settings="$home/.config/trevalon/trevalon.dat"
  deadline=$((SECONDS + 20))
  until [ -s "$settings" ]; do
    [ $SECONDS -lt $deadline ] || { echo "no $settings" >&2; exit 1; }
    sleep 0.1
  done
  kill -TERM "$pid"
  wait "$pid" || { echo "the program ended with status $?" >&2; exit 1; }
  trap - EXIT
  grep -q '^BaudRate=9600' "$settings" || { echo "unexpected content of $settings" >&2; exit 1; }
  [ ! -e "$tree/usr/bin/trevalon.dat" ] || { echo "settings written beside the program" >&2; exit 1; }
  exit 0
fi

. "$root/scripts/common.sh"
"$root/scripts/deps.sh" package
build="$root/build"
require_own_build_dir "$build"
cmake -S "$root" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target trevalon -j "$(nproc)"
rm -f "$build"/trevalon_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/trevalon_*.deb)
echo "Built $deb ($(du -k "$deb" | cut -f1) KiB, installed size $(dpkg-deb -f "$deb" Installed-Size) KiB)"
[ "${1:-}" = "--check" ] || exit 0

"$root/scripts/deps.sh" package screenshot
fail() { echo "package check: $*" >&2; exit 1; }
version=$(sed -n 's/^project(Trevalon VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[ "$(basename "$deb")" = "trevalon_${version}_$(dpkg --print-architecture).deb" ] ||
  fail "unexpected file name $(basename "$deb")"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libpcre2-8-0; do
  [[ ", $depends," == *", $lib "* || ", $depends," == *", $lib,"* ]] ||
    fail "Depends lacks $lib: $depends"
done
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in ./usr/bin/trevalon ./usr/share/trevalon/trevalon.html \
         ./usr/share/applications/trevalon.desktop ./usr/share/doc/trevalon/README.md \
         ./usr/share/icons/hicolor/scalable/apps/trevalon.svg \
         ./usr/share/icons/hicolor/{16x16,32x32,48x48,64x64,128x128,256x256}/apps/trevalon.png; do
  grep -qxF "$f" <<<"$contents" || fail "missing $f"
done

work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
chmod 755 "$work"
dpkg-deb -x "$deb" "$work/tree"
desktop-file-validate "$work/tree/usr/share/applications/trevalon.desktop" ||
  fail "desktop-file-validate failed on the menu entry"
mkdir -p "$work/home"
xvfb-run -a -s "-screen 0 1024x768x24" "$0" --inside-display "$work/tree" "$work/home" ||
  fail "the unpacked program did not keep its settings in the user's XDG config folder"
echo "package check: passed"
