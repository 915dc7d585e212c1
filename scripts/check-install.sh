#!/usr/bin/env bash
# The README's promise that "cmake --install build" works after either of
# its commands, checked where it can break: in a fresh clone of the committed
# tree, scripts/run.sh alone (on a virtual display; the window is closed once
# it shows), then cmake --install into a temporary prefix, which must hold
# every file the README's Installing section lists. Run by package.sh --check.
#
#   scripts/check-install.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh" screenshot

work=$(mktemp -d)
cleanup() {
  [ -n "${run_pid:-}" ] && kill "$run_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "check-install: $*" >&2; exit 1; }

git clone -q "$root" "$work/clone"
clone=$work/clone
# No settings file yet: run.sh starts the simulator and the window. The
# window is closed as soon as it runs, as an operator closing it would
# (a termination signal closes it normally).
xvfb-run -a "$clone/scripts/run.sh" >"$work/run.log" 2>&1 &
run_pid=$!
program=$clone/build/app/trevalon
deadline=$((SECONDS + 1500))  # the first build of the programs
while :; do
  pid=$(pgrep -f -x "$program" || true)
  [ -n "$pid" ] && break
  kill -0 "$run_pid" 2>/dev/null || { cat "$work/run.log" >&2; fail "run.sh ended before the window ran"; }
  [ "$SECONDS" -lt "$deadline" ] || { cat "$work/run.log" >&2; fail "no window after 1500 s"; }
  sleep 1
done
sleep 2
kill -TERM "$pid"
status=0
wait "$run_pid" || status=$?
run_pid=
[ "$status" -eq 0 ] || { cat "$work/run.log" >&2; fail "run.sh exited $status"; }

prefix=$work/prefix
cmake --install "$clone/build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
  { cat "$work/install.log" >&2; fail "cmake --install failed after scripts/run.sh"; }
files=(bin/trevalon bin/trevalon-host bin/trevalon-cli
       share/trevalon/trevalon.html share/trevalon/trevalon-cli.schema.json
       share/trevalon/samples/1234.oma
       share/trevalon/translations/trevalon_{de,fr,es,it,pt}.qm
       share/applications/trevalon.desktop share/mime/packages/trevalon.xml
       share/icons/hicolor/scalable/apps/trevalon.svg
       share/doc/trevalon/README.md share/doc/trevalon/copyright share/doc/trevalon/changelog.gz
       lib/systemd/system/trevalon-host.service etc/default/trevalon-host)
for size in 16 32 48 64 128 256; do files+=("share/icons/hicolor/${size}x${size}/apps/trevalon.png"); done
if command -v help2man >/dev/null; then
  for page in trevalon trevalon-host trevalon-cli; do files+=("share/man/man1/$page.1.gz"); done
fi
for f in "${files[@]}"; do
  [ -f "$prefix/$f" ] || fail "cmake --install after scripts/run.sh did not install $f"
done
"$prefix/bin/trevalon-cli" --version >/dev/null || fail "the installed trevalon-cli does not run"
echo "check-install: scripts/run.sh then cmake --install installed all ${#files[@]} files"
