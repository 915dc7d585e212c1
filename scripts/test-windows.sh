#!/usr/bin/env bash
# Cross-builds the Windows program and its test programs with the Windows Qt
# kit and runs them under Wine (on a virtual X display, Xvfb), with real COM ports:
# in a private Wine prefix COM20..COM27 lead to pseudo-terminals whose far ends
# tests/win32/pty_hub.py plays on the Linux side, and COM28 to the line of the
# lab host simulator (trevalon-host, built here for Linux) that the window
# tests start. No other COM port exists there, and no real serial port of this
# machine can be opened (tests/win32/pty_modem_shim.c refuses them).
#
#   scripts/test-windows.sh [--bench] [KIT_FOLDER]
#
# --bench runs bench/serial_win32.cpp instead of the tests: the serial
# device's latency and idle CPU under Wine (this process and wineserver).
# KIT_FOLDER holds winkit.tar.xz (default: ../shared/winkit beside the
# project). Builds in build-win/ (the kit is unpacked there, never into the
# sources).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bench=0
if [ "${1:-}" = "--bench" ]; then
  bench=1
  shift
fi
. "$root/scripts/common.sh"
"$root/scripts/deps.sh" windows
windows_kit "${1:-}"

# --- Wine: a private prefix whose only COM ports are ours -------------------
export WINEPREFIX=$build/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml="  # no Mono or Gecko installers
ports=$build/wine-ports
mkdir -p "$ports"
gcc -shared -fPIC -O2 -Wall -o "$build/pty_modem_shim.so" "$root/tests/win32/pty_modem_shim.c" -ldl
export LD_PRELOAD=$build/pty_modem_shim.so

cleanup() {
  [ -n "${hub_pid:-}" ] && kill "$hub_pid" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
wineserver -k 2>/dev/null || true

# The pid of the wineserver of our own prefix (another run or another user's
# Wine may have a newer one): a server works in a folder that Wine names
# after the prefix's device and inode, server-<dev>-<inode> in hexadecimal.
own_wineserver() {
  local name pid
  name=server-$(stat -c '%d %i' "$WINEPREFIX" | awk '{printf "%x-%x", $1, $2}')
  for pid in $(pgrep -x 'wineserver(64)?'); do
    if [ "$(basename "$(readlink "/proc/$pid/cwd" 2>/dev/null)")" = "$name" ]; then
      echo "$pid"
      return 0
    fi
  done
}

# Waits until File, which the background process Pid writes once it is
# ready, has content; What names it in the error otherwise.
wait_for_file() {
  local file=$1 pid=$2 what=$3
  for _ in $(seq 1 100); do
    [ -s "$file" ] && return 0
    kill -0 "$pid" 2>/dev/null || { echo "$what did not start" >&2; exit 1; }
    sleep 0.1
  done
  echo "$what did not start in time" >&2
  exit 1
}

# One virtual display for every Wine process of the run. Wine starts its
# desktop process (explorer.exe) with the first program that needs one, here
# the set-up below; started without a display it stays headless for a while,
# and windows of tests started meanwhile are never shown.
rm -f "$build/xvfb.display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$build/xvfb.display" >/dev/null 2>&1 &
xvfb_pid=$!
wait_for_file "$build/xvfb.display" "$xvfb_pid" Xvfb
export DISPLAY=:$(cat "$build/xvfb.display")

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Creating the Wine prefix $WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  wineserver -w
fi
# Every COM name Wine could hand out is taken: COM20..COM28 by our links,
# all others by an empty entry (no device). Wine's mount manager reads this
# at start-up and makes dosdevices/comN from it.
{
  printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\n'
  for n in $(seq 1 256); do
    if [ "$n" -ge 20 ] && [ "$n" -le 28 ]; then
      printf '"COM%d"="%s"\n' "$n" "$ports/com$n"
    else
      printf '"COM%d"=""\n' "$n"
    fi
  done
  # A crashing test program ends at once instead of waiting in a debugger.
  printf '\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug]\n'
  printf '"Auto"="1"\n"Debugger"="-"\n'
} >"$build/ports.reg"
wine regedit /S "$build/ports.reg" >/dev/null 2>&1
wineserver -w
find "$WINEPREFIX/dosdevices" -maxdepth 1 -name 'com*' -exec rm -f {} +
wineserver -p 600 >/dev/null 2>&1 &  # one server for the whole run
wine cmd /c exit >/dev/null 2>&1       # the mount manager makes our COM links
for link in "$WINEPREFIX"/dosdevices/com*; do
  case "$(basename "$link")" in
    com2[0-8]) ;;
    *) rm -f "$link" ;;  # a real port Wine found on its own: never offered
  esac
done

rm -f "$build/hub.port"
python3 "$root/tests/win32/pty_hub.py" "$ports" 20 27 "$build/hub.port" &
hub_pid=$!
wait_for_file "$build/hub.port" "$hub_pid" "pty hub"
export TREVALON_PTY_HUB=$(cat "$build/hub.port")

# --- Build and test ------------------------------------------------------------
windows_configure
if [ "$bench" = 1 ]; then
  nice cmake --build "$build/tree" -j 2 --target bench_serial_win32
  server=$(own_wineserver)
  [ -n "$server" ] || { echo "no wineserver runs for $WINEPREFIX" >&2; exit 1; }
  ticks() { awk '{print $14 + $15}' "/proc/$server/stat"; }
  "$kit/share/winkit/wine-run.sh" "$build/tree/bench/bench_serial_win32.exe" 5 | while read -r line; do
    line=${line%$'\r'}
    case "$line" in
      idle-start) start=$(ticks) ;;
      idle-end) echo "wineserver meanwhile: $(( ($(ticks) - start) * 1000 / $(getconf CLK_TCK) )) ms CPU" ;;
      *) echo "$line" ;;
    esac
  done
  exit 0
fi
# The simulator the window tests talk to is a Linux program; Wine starts it.
# The Linux build of scripts/test.sh has one (CI runs that first); without
# it, a build of the simulator alone.
if [ -f "$root/build/CMakeCache.txt" ] && [ -O "$root/build" ]; then
  nice cmake --build "$root/build" -j 2 --target trevalon-host
  export TREVALON_HOST_UNIX=$root/build/tools/trevalon-host
else
  launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  cmake -G Ninja -S "$root" -B "$build/host" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTREVALON_TESTS=OFF -DTREVALON_BENCH=OFF "${launcher[@]}" >/dev/null
  nice cmake --build "$build/host" -j 2 --target trevalon-host
  export TREVALON_HOST_UNIX=$build/host/tools/trevalon-host
fi
export TREVALON_HOST_LINK=$ports/com28
export TREVALON_HOST_PORT=COM28
export TREVALON_UNIX_WORK=$build/e2e
rm -rf "$TREVALON_UNIX_WORK"
mkdir -p "$TREVALON_UNIX_WORK"

# Program starts Wine ended before they ran, made again by the harness
# (tests/win32/wine-launch.sh for test listing and CTest, ChildProcessWin32
# inside Wine), are noted here.
export TREVALON_WINE_RESTARTS=$build/wine-restarts.log
rm -f "$TREVALON_WINE_RESTARTS"
targets=(test_shape test_oma test_conversation test_link fuzz_replay test_win32 test_win32app test_win32crash trevalon
  trevalon-cli)
nice cmake --build "$build/tree" -j 2 --target "${targets[@]}"
# Every test the Windows tree registers runs, none picked by label: the list
# is the same on every run. A test whose program was not built would be
# counted and never run, so that stops the run before it starts.
ctest --test-dir "$build/tree" --show-only=json-v1 >"$build/tests.json"
python3 - "$build/tests.json" <<'PY'
import json, os, sys
tests = json.load(open(sys.argv[1]))["tests"]
unbuilt = [t["name"] for t in tests
           if not any(arg.endswith(".exe") and os.path.exists(arg) for arg in t.get("command") or [])]
if unbuilt or not tests:
    sys.exit("Tests whose program was not built (add it to the targets above): " + ", ".join(unbuilt or ["none registered"]))
print(f"{len(tests)} tests")
PY
status=0
ctest --test-dir "$build/tree" --output-on-failure -j 2 --timeout 300 || status=$?
if [ -s "$TREVALON_WINE_RESTARTS" ]; then
  echo "Program starts Wine ended before they ran, each started again once ($(wc -l <"$TREVALON_WINE_RESTARTS")):"
  cat "$TREVALON_WINE_RESTARTS"
fi
exit "$status"
