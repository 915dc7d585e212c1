#!/usr/bin/env bash
# Makes the Windows packages in build-win/ from one folder of files:
#   trevalon-<version>-windows-x64.zip   portable: unzipped anywhere it runs
#                                        as it is, its settings beside it
#   trevalon-<version>-x64.msi           the installer (wixl): per machine
#                                        into Program Files\Trevalon, settings
#                                        in the user's folder
# Both hold the program with the Qt and mingw runtime DLLs it needs, the
# windows platform plugin and style, the help file, a short readme, the
# licences (licenses\), the window's translations (translations\), the sample jobs (samples\) and, once the simulator
# has a Windows line, trevalon-host.exe.
#
#   scripts/package-windows.sh [--check] [KIT_FOLDER]   (default: ../shared/winkit)
#
# --check then checks both under Wine in a private prefix: the zip's and the
# MSI's contents, a silent install (files, shortcut, uninstall entry, the
# .oma association; the installed program starts, its help beside it), an
# upgrade by a higher version, and a silent removal that leaves the user's
# settings. It prints the MSI's size, the installed size and the time of the
# silent install.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
check=0
if [ "${1:-}" = "--check" ]; then
  check=1
  shift
fi
. "$root/scripts/common.sh"
"$root/scripts/deps.sh" windows
windows_kit "${1:-}"
windows_configure

# The simulator serves Windows over a loopback TCP port; without a Windows
# half of its line (only pseudo-terminals, which Windows lacks) it is left out.
host_exe=0
[ -f "$root/tools/HostLineWin32.cpp" ] && host_exe=1
targets=(trevalon trevalon-cli)
[ "$host_exe" = 1 ] && targets+=(trevalon-host)
nice cmake --build "$build/tree" -j 2 --target "${targets[@]}"

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
if [ "$host_exe" = 1 ]; then
  x86_64-w64-mingw32-strip -o "$stage/trevalon-host.exe" "$build/tree/tools/trevalon-host.exe"
else
  echo "package-windows.sh: trevalon-host.exe left out: the simulator has no Windows line yet" >&2
fi
# The command line beside it, on the same DLLs.
x86_64-w64-mingw32-strip --strip-debug -o "$stage/trevalon-cli.exe" "$build/tree/cli/trevalon-cli.exe"
cp "$build/tree/app/trevalon.html" "$stage/"
# The window's translations, where the program looks for them: translations\
# beside it (the kit has no Qt translations, so Qt's standard buttons stay English).
cp -r "$build/tree/app/translations" "$stage/translations"
sed "s/@VERSION@/$version/" "$root/docs/windows-readme.txt" | sed 's/$/\r/' >"$stage/README.txt"
cp -r "$build/tree/samples" "$stage/samples"

# Licences: Trevalon's own, and the texts and notices of everything shipped
# with it, taken from the Debian packages the kit was built from.
lic=$stage/licenses
mkdir -p "$lic/qt-build"
crlf() { sed 's/\r$//; s/$/\r/' "$1" >"$2"; }
crlf "$root/LICENSE" "$lic/Trevalon-LICENSE.txt"
crlf "$root/packaging/licenses/README.txt" "$lic/README.txt"
crlf "$root/packaging/licenses/Qt-NOTICE.txt" "$lic/Qt-NOTICE.txt"
crlf "$root/packaging/licenses/BSL-1.0.txt" "$lic/Boost-BSL-1.0.txt"
crlf "$root/tests/data/oma-samples/LICENSE.txt" "$lic/samples-LICENSE.txt"
for pair in /usr/share/common-licenses/LGPL-3:LGPL-3.0.txt /usr/share/common-licenses/GPL-3:GPL-3.0.txt \
            /usr/share/doc/libqt6core6/copyright:Qt-copyright.txt \
            /usr/share/doc/libpcre2-8-0/copyright:PCRE2.txt \
            /usr/share/doc/gcc-mingw-w64-base/copyright:GCC-runtime.txt \
            /usr/share/doc/mingw-w64-common/copyright:mingw-w64-runtime.txt \
            "$kitdir/qtbase-6.4.2-no-direct2d.patch:qt-build/qtbase-6.4.2-no-direct2d.patch" \
            "$kitdir/build-winkit.sh:qt-build/build-winkit.sh"; do
  from=${pair%%:*}
  [ -f "$from" ] || { echo "package-windows.sh: no $from for the licences folder" >&2; exit 1; }
  crlf "$from" "$lic/${pair#*:}"
done

rm -f "$build/$name.zip"
(cd "$build/package" && cmake -E tar cf "$build/$name.zip" --format=zip "$name")
echo "$build/$name.zip ($(du -k "$build/$name.zip" | cut -f1) KiB)"

# The MSI, from the same folder. Every file but the program itself comes from
# wixl-heat's listing; the program is named in trevalon.wxs for the shortcut
# and the file association.
msi=$build/trevalon-$version-x64.msi
# make_msi Version Output: the MSI of the staged folder at that version (the
# check builds a higher one to test upgrades).
make_msi() {
  local msiversion=$1 out=$2
  (cd "$build/package" && find "$name" -type f ! -path "$name/trevalon.exe" | LC_ALL=C sort |
    wixl-heat -p "$name/" --component-group ProgramFiles --var var.SourceDir \
              --directory-ref INSTALLDIR --win64) >"$build/package/files.wxs"
  # wixl takes sources relative to the folder it runs in.
  (cd "$build/package" &&
    wixl -a x64 -D Version="$msiversion" -D SourceDir="$name" -D Win64=yes \
         -o "$out" "$root/packaging/windows/trevalon.wxs" files.wxs)
  # wixl leaves the File table's Version empty; Windows Installer compares it
  # when it replaces files, so it comes from each program's version resource.
  python3 "$root/packaging/windows/file_versions.py" "$build/package" files.wxs "$name" |
    while read -r query; do msibuild "$out" -q "$query"; done
}
make_msi "$version" "$msi"
echo "$msi ($(du -k "$msi" | cut -f1) KiB, installed $(du -sk "$stage" | cut -f1) KiB)"
[ "$check" = 1 ] || exit 0
# A higher version of the same files, to test the upgrade.
upgrade=$build/package/trevalon-upgrade-x64.msi
make_msi "${version%.*}.$((${version##*.} + 1))" "$upgrade"
exec bash "$root/scripts/check-windows-packages.sh" "$build" "$name" "$msi" "$upgrade" "$host_exe"
