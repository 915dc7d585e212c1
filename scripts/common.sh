# Shared checks of the scripts; sourced, not run.

# The normal and sanitizer trees (and the Windows one, windows_configure)
# compile in batches of files, a unity build: each batch parses the common
# headers once. Every script that configures build/ (test.sh, run.sh,
# package.sh, screenshot.sh) gives it, so switching between them never
# rebuilds the tree. Lint reads the files one by one, in a tree of its own.
unity_build=-DCMAKE_UNITY_BUILD=ON

# Stops with a clear message when a build folder (or anything in it) belongs to
# another user, typically left behind by running a script with sudo: CMake and
# the compiler would otherwise fail on it with errors that do not say why.
require_own_build_dir() {
  local dir=$1 foreign
  [ -e "$dir" ] || return 0
  foreign=$(find "$dir" ! -user "$(id -u)" -print -quit 2>/dev/null || true)
  [ -z "$foreign" ] && return 0
  echo "The build folder $dir holds files of the user $(stat -c %U "$foreign") ($foreign)," >&2
  echo "not of you ($(id -un)); a script was probably run with sudo. Remove it once:" >&2
  echo "  sudo rm -rf $dir" >&2
  echo "and run the scripts as yourself (only scripts/deps.sh needs sudo)." >&2
  exit 1
}

# Running a build script as root in a tree that belongs to somebody else leaves
# root-owned files behind that break every later run as that user.
refuse_root_in_user_tree() {
  local root=$1
  if [ "$(id -u)" -eq 0 ] && [ "$(stat -c %u "$root")" -ne 0 ]; then
    echo "Run $(basename "$0") as yourself, not as root: only scripts/deps.sh needs sudo." >&2
    exit 1
  fi
}

# The Windows build, shared by test-windows.sh, package-windows.sh and
# screenshot.sh: windows_kit [KIT_FOLDER] checks the kit folder (default
# ../shared/winkit beside the project), unpacks winkit.tar.xz into
# build-win/kit/ when it is not there or the archive is newer, and sets
#   kitdir  the folder holding winkit.tar.xz
#   build   build-win/ (or $TREVALON_WIN_BUILD)
#   kit     the unpacked kit's prefix
windows_kit() {
  local root
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  kitdir=${1:-$root/../shared/winkit}
  if [ ! -f "$kitdir/winkit.tar.xz" ]; then
    cat >&2 <<EOM
No Windows Qt kit at $kitdir (winkit.tar.xz).
Make one on Debian 12 with build-winkit.sh from the kit's folder (about 20
minutes on two cores; it needs a deb-src line for bookworm), or pass the
folder that holds winkit.tar.xz:
  $(basename "$0") /path/to/winkit
EOM
    exit 2
  fi
  kitdir=$(cd "$kitdir" && pwd)
  build=${TREVALON_WIN_BUILD:-$root/build-win}
  require_own_build_dir "$build"
  mkdir -p "$build"
  kit=$build/kit/prefix
  if [ ! -x "$kit/bin/qt-cmake" ] || [ "$kitdir/winkit.tar.xz" -nt "$kit/bin/qt-cmake" ]; then
    echo "Unpacking the Windows kit into $build/kit"
    rm -rf "$build/kit"
    mkdir -p "$build/kit"
    tar xJf "$kitdir/winkit.tar.xz" -C "$build/kit"
    touch "$kit/bin/qt-cmake"
  fi
}

# Configures the Windows tree build-win/tree with the kit (after windows_kit):
# mingw-w64 cross compiler, the host's Qt tools, Wine as the emulator that
# runs test programs (test discovery and CTest; through
# tests/win32/wine-launch.sh, which starts again a program Wine ended before
# it ran), benchmarks on. One configuration for every script, so switching
# between them never rebuilds the tree; compiled in batches of files (a unity
# build), which parse the common headers once.
windows_configure() {
  local root launcher=()
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  "$kit/bin/qt-cmake" -G Ninja -S "$root" -B "$build/tree" \
    -DQT_HOST_PATH=/usr \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DTREVALON_WINKIT="$kit" \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$root/tests/win32/wine-launch.sh;$kit/share/winkit/wine-run.sh" \
    -DTREVALON_BENCH=ON "$unity_build" "${launcher[@]}" >/dev/null
}
