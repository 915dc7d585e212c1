#!/usr/bin/env bash
# Builds the Debian package of Trevalon in the normal build folder:
# build/trevalon_<version>_<arch>.deb, its Depends computed by dpkg-shlibdeps.
#
#   scripts/package.sh           build the package
#   scripts/package.sh --check   and check it: lintian reports nothing (an
#                                override needs a written reason in
#                                packaging/debian/lintian-overrides), its name,
#                                Depends and files, the menu entry
#                                (desktop-file-validate), and the unpacked
#                                program started by an ordinary user with an
#                                empty home on a virtual X server: it takes
#                                the sample-host offer, fetches job 1234 and
#                                stores it, and keeps its settings in that
#                                user's $XDG_CONFIG_HOME (~/.config)/trevalon/;
#                                then scripts/check-install.sh (cmake --install
#                                after scripts/run.sh, in a fresh clone)
#
# TREVALON_MAINTAINER="Name <address>" names the package's maintainer (a
# CMake cache setting, kept until it is given again).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

if [ "${1:-}" = "--inside-display" ]; then
  # Run by xvfb-run: the unpacked program with a fresh home, in a folder it may
  # not write. Run by root, it runs as nobody, who is in no device group and
  # so cannot open a real serial port.
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
  settings="$home/.config/trevalon/trevalon.dat"
  data="$home/.local/share/trevalon/sample-host"
  hostlog="$data/trevalon-host.log"
  fail() {
    echo "package check: $*" >&2
    [ -f "$hostlog" ] && { echo "--- the sample host's log:" >&2; tail -n 20 "$hostlog" >&2; }
    exit 1
  }
  # Waits up to Seconds for the shell condition; fails saying what it waited for.
  wait_until() {
    local seconds=$1 what=$2
    shift 2
    local deadline=$((SECONDS + seconds))
    until "$@"; do
      [ $SECONDS -lt $deadline ] || fail "no $what within $seconds s"
      kill -0 "$pid" 2>/dev/null || fail "the program ended while waiting for $what"
      sleep 0.05
    done
  }
  logged() { [ -f "$hostlog" ] && grep -q "$1" "$hostlog"; }

  "${as[@]}" env -i HOME="$home" DISPLAY="$DISPLAY" XAUTHORITY="$home/.Xauthority" \
    PATH=/usr/bin:/bin "$tree/usr/bin/trevalon" &
  pid=$!
  trap 'kill "$pid" 2>/dev/null || true' EXIT
  win=$(xdotool search --sync --onlyvisible --name '^Trevalon$' | head -n 1)
  eval "$(xdotool getwindowgeometry --shell "$win")"  # X, Y of the main window
  [ ! -e "$settings" ] || fail "settings exist before the first start"

  # The tray field's menu; its last entry is the offer.
  windows() { xdotool search --onlyvisible --pid "$pid" 2>/dev/null | wc -l; }
  before=$(windows)
  xdotool mousemove --sync $((X + 79)) $((Y + 36)) click 3
  menu_open() { [ "$(windows)" -gt "$before" ]; }
  wait_until 10 "tray field menu" menu_open
  xdotool key Up Return
  settings_name_host() { [ -f "$settings" ] && grep -q "^Port=$data/trevalon-host.port" "$settings"; }
  wait_until 15 "settings naming the sample host ($settings)" settings_name_host
  [ -e "$data/trevalon-host.port" ] || fail "the sample host's line is not there"
  [ -f "$data/jobs/1234.oma" ] || fail "the sample jobs were not copied to $data/jobs"

  # Fetch job 1234: the host's job reply is the conversation's last packet.
  xdotool click 1  # the pointer is still on the tray field (a --sync move to it would wait)
  xdotool type --delay 20 1234
  xdotool key Return
  wait_until 20 "job 1234 sent by the sample host" logged '^.*job: '
  # Store it: Save Shape (Alt+S) is enabled once the window has taken the
  # job, so it is pressed until the host hears a store begin.
  stored=0
  for _ in $(seq 1 20); do
    xdotool key alt+s
    deadline=$((SECONDS + 2))
    while [ $SECONDS -lt $deadline ]; do
      if logged 'grant: '; then stored=1; break 2; fi
      sleep 0.05
    done
  done
  [ "$stored" = 1 ] || fail "Save Shape never started a store"
  jobs_kept() { [ -f "$data/jobs/1234.oma.bak" ]; }
  wait_until 20 "stored job (1234.oma.bak beside 1234.oma)" jobs_kept
  wait_until 20 "store verdict" logged 'verdict: '

  kill -TERM "$pid"
  wait "$pid" || fail "the program ended with status $?"
  trap - EXIT
  [ ! -e "$data/trevalon-host.port" ] || fail "the sample host still runs after the window closed"
  grep -q '^BaudRate=9600' "$settings" || fail "unexpected content of $settings"
  [ ! -e "$tree/usr/bin/trevalon.dat" ] || fail "settings written beside the program"
  exit 0
fi

. "$root/scripts/common.sh"
"$root/scripts/deps.sh" package
build="$root/build"
require_own_build_dir "$build"
maintainer=()
[ -n "${TREVALON_MAINTAINER:-}" ] && maintainer=(-DTREVALON_MAINTAINER="$TREVALON_MAINTAINER")
cmake -S "$root" -B "$build" -G Ninja "$unity_build" -DTREVALON_MANPAGES=ON -DTREVALON_PACKAGE=ON \
  "${maintainer[@]}" >/dev/null
cmake --build "$build" --target package_files -j "$(nproc)"
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
for f in ./usr/bin/trevalon ./usr/bin/trevalon-host ./usr/share/trevalon/trevalon.html \
         ./usr/share/trevalon/samples/{1234,1001,1002,1003,3601,3602,2000,6000}.oma \
         ./usr/share/trevalon/translations/trevalon_{de,fr,es,it,pt}.qm \
         ./usr/share/man/man1/trevalon.1.gz ./usr/share/man/man1/trevalon-host.1.gz \
         ./usr/share/doc/trevalon/copyright ./usr/share/doc/trevalon/changelog.gz \
         ./usr/share/applications/trevalon.desktop ./usr/share/doc/trevalon/README.md \
         ./usr/share/mime/packages/trevalon.xml \
         ./usr/share/icons/hicolor/scalable/apps/trevalon.svg \
         ./usr/share/icons/hicolor/{16x16,32x32,48x48,64x64,128x128,256x256}/apps/trevalon.png; do
  grep -qxF "$f" <<<"$contents" || fail "missing $f"
done

if grep -qxF ./usr/bin/trevalon-cli <<<"$contents"; then
  grep -qxF ./usr/share/man/man1/trevalon-cli.1.gz <<<"$contents" || fail "missing trevalon-cli's manual page"
fi
maintainer=$(dpkg-deb -f "$deb" Maintainer)
[[ "$maintainer" =~ ^[^\<]+\ \<[^@\>]+@[^@\>]+\.[a-z]+\>$ ]] || fail "unexpected Maintainer: $maintainer"

# lintian, Debian's own checks, reports nothing: no error, warning or
# information tag. A tag that must stay is overridden in
# packaging/debian/lintian-overrides with its reason written beside it.
lintian_err=$(mktemp)
lintian_out=$(lintian --display-info --fail-on none "$deb" 2>"$lintian_err") ||
  fail "lintian did not run: $(cat "$lintian_err")"
rm -f "$lintian_err"
if [ -n "$lintian_out" ]; then
  echo "$lintian_out" >&2
  fail "lintian reports the tags above"
fi

work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
chmod 755 "$work"
dpkg-deb -x "$deb" "$work/tree"
desktop-file-validate "$work/tree/usr/share/applications/trevalon.desktop" ||
  fail "desktop-file-validate failed on the menu entry"
# The lab host's service unit as systemd reads it, in a root that holds the
# package's files beside the system's own units (its targets); its manual
# page is made in the package, not looked up on this machine.
mkdir -p "$work/root/usr/lib/systemd/system"
cp -a /usr/lib/systemd/system/. "$work/root/usr/lib/systemd/system/"
cp -a "$work/tree/." "$work/root/"
systemd-analyze verify --man=no --root="$work/root" trevalon-host.service ||
  fail "systemd-analyze verify reports the unit trevalon-host.service"
mkdir -p "$work/home"
xvfb-run -a -s "-screen 0 1024x768x24" "$0" --inside-display "$work/tree" "$work/home" ||
  fail "the unpacked program's first start with the sample host failed"
# Installing from a build tree: "cmake --install" after scripts/run.sh alone,
# in a fresh clone.
bash "$root/scripts/check-install.sh" || fail "cmake --install after scripts/run.sh failed"
echo "package check: passed"
