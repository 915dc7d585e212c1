#!/usr/bin/env bash
# Makes the Windows package trevalon-<version>-windows-x64.zip in build-win/:
# the program, the Qt and mingw runtime DLLs it needs, the windows platform
# plugin and style, the help file and a short readme. Unzipped anywhere it runs
# as it is (a portable program: the settings file goes beside it).
#
#   scripts/package-windows.sh [KIT_FOLDER]    (default: ../shared/winkit)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
kitdir=$(cd "${1:-$root/../shared/winkit}" 2>/dev/null && pwd) || {
  echo "No Windows Qt kit folder (see scripts/test-windows.sh)" >&2
  exit 2
}
build=${TREVALON_WIN_BUILD:-$root/build-win}
kit=$build/kit/prefix
if [ ! -x "$kit/bin/qt-cmake" ]; then
  mkdir -p "$build/kit"
  tar xJf "$kitdir/winkit.tar.xz" -C "$build/kit"
fi
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
"$kit/bin/qt-cmake" -G Ninja -S "$root" -B "$build/tree" -DQT_HOST_PATH=/usr \
  -DQT_CHAINLOAD_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DTREVALON_WINKIT="$kit" -DTREVALON_BENCH=ON "${launcher[@]}" >/dev/null
nice cmake --build "$build/tree" -j 2 --target trevalon trevalon-cli

version=$(sed -n 's/^project(Trevalon VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
name=trevalon-$version-windows-x64
stage=$build/package/$name
rm -rf "$build/package"
mkdir -p "$stage"
# The program with every DLL it imports (recursively) and the plugins Qt loads.
bash "$kitdir/deploy-win.sh" "$build/tree/app/trevalon.exe" "$stage" "$kit" >/dev/null
# The build keeps its debug info; the package keeps only the line table, from
# which crash reports name each frame's source file and line.
x86_64-w64-mingw32-strip --strip-debug --keep-section=.debug_line --keep-section=.debug_line_str \
  "$stage/trevalon.exe"
x86_64-w64-mingw32-objdump -h "$stage/trevalon.exe" | grep -q ' \.debug_line ' ||
  { echo "package-windows.sh: the program lost its line table" >&2; exit 1; }
# The command line beside it, on the same DLLs.
x86_64-w64-mingw32-strip --strip-debug "$build/tree/cli/trevalon-cli.exe" -o "$stage/trevalon-cli.exe"
cp "$build/tree/app/trevalon.html" "$stage/"
sed "s/@VERSION@/$version/" "$root/docs/windows-readme.txt" | sed 's/$/\r/' >"$stage/README.txt"
rm -f "$build/$name.zip"
(cd "$build/package" && cmake -E tar cf "$build/$name.zip" --format=zip "$name")
echo "$build/$name.zip ($(du -k "$build/$name.zip" | cut -f1) KiB)"
