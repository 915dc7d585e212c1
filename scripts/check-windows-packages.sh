#!/usr/bin/env bash
# Checks the Windows packages that scripts/package-windows.sh made, under Wine
# in a private prefix on a virtual display (run by package-windows.sh --check):
#   check-windows-packages.sh BUILD NAME MSI UPGRADE_MSI HOST_EXE
# The zip and the MSI hold the licences, the samples and (HOST_EXE=1)
# trevalon-host.exe; msiexec /i /qn installs the files, the Start-menu
# shortcut, the uninstall entry and the .oma association, and the installed
# program starts with its help beside it; a higher version replaces it;
# msiexec /x /qn removes all that and leaves the user's settings. Every wait
# has a deadline and says what it waited for.
set -euo pipefail
build=$1 name=$2 msi=$3 upgrade=$4 host_exe=$5
version=${name#trevalon-}
version=${version%-windows-x64}
fail() { echo "windows package check: $*" >&2; exit 1; }

# --- Contents ------------------------------------------------------------------
need=(trevalon.exe trevalon.html README.txt samples/1234.oma
      translations/trevalon_de.qm translations/trevalon_fr.qm translations/trevalon_es.qm
      translations/trevalon_it.qm translations/trevalon_pt.qm
      licenses/Trevalon-LICENSE.txt licenses/Qt-NOTICE.txt licenses/LGPL-3.0.txt licenses/GPL-3.0.txt
      licenses/Qt-copyright.txt licenses/PCRE2.txt licenses/Boost-BSL-1.0.txt
      licenses/GCC-runtime.txt licenses/mingw-w64-runtime.txt licenses/samples-LICENSE.txt)
[ "$host_exe" = 1 ] && need+=(trevalon-host.exe)
zipped=$(python3 -c 'import sys, zipfile; print("\n".join(zipfile.ZipFile(sys.argv[1]).namelist()))' \
           "$build/$name.zip")
for f in "${need[@]}"; do
  grep -qxF "$name/$f" <<<"$zipped" || fail "the zip lacks $f"
done
# The MSI's File table: long names after the "|" of each short|long pair.
msifiles=$(msiinfo export "$msi" File | tail -n +4 | cut -f3 | sed 's/.*|//')
for f in "${need[@]}"; do
  grep -qxF "$(basename "$f")" <<<"$msifiles" || fail "the MSI lacks $f"
done
exe_version=$(msiinfo export "$msi" File | awk -F'\t' '$1 == "TrevalonExe" {print $5}')
[ "$exe_version" = "$version.0" ] || fail "trevalon.exe's file version in the MSI is '$exe_version', not $version.0"

# --- A private Wine prefix on its own display -----------------------------------
work=$build/msi-check
rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
cleanup() {
  wineserver -k 2>/dev/null || true
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=:$(cat "$work/display")
wineboot -i >/dev/null 2>&1
wineserver -w
drive=$WINEPREFIX/drive_c
target="$drive/Program Files/Trevalon"
# Per machine (ALLUSERS=1) the shortcut belongs in the common Start menu;
# Wine's installer puts it in the installing user's, so either counts here.
[ "$(msiinfo export "$msi" Property | tr -d '\r' | awk -F'\t' '$1 == "ALLUSERS" {print $2}')" = 1 ] ||
  fail "the MSI does not install per machine (ALLUSERS)"
shortcuts=("$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Trevalon.lnk"
           "$drive/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Trevalon.lnk")
has_shortcut() { [ -f "${shortcuts[0]}" ] || [ -f "${shortcuts[1]}" ]; }
appdata=$(wine cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')
userdir=$(winepath -u "$appdata" 2>/dev/null)/trevalon
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'

# Uninstall entries named Trevalon, as "DisplayVersion Publisher" lines.
entries() {
  wine reg query "$uninstall_key" /s 2>/dev/null | tr -d '\r' | awk '
    /^HKEY/ { if (n == "Trevalon") print v, p; n = v = p = "" }
    $1 == "DisplayName" { n = $3 } $1 == "DisplayVersion" { v = $3 }
    $1 == "Publisher" { $1 = $2 = ""; sub(/^ +/, ""); p = $0 }
    END { if (n == "Trevalon") print v, p }'
}
association() { wine reg query 'HKLM\Software\Classes\.oma' /ve 2>/dev/null | tr -d '\r' | grep -c Trevalon.JobFile || true; }

# --- Install ------------------------------------------------------------------------
start=$(date +%s.%N)
wine msiexec /i "$(winepath -w "$msi")" /qn || fail "msiexec /i /qn failed with status $?"
wineserver -w
install_s=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }')
for f in "${need[@]}"; do
  [ -f "$target/$f" ] || fail "installed: no $f in Program Files\\Trevalon"
done
has_shortcut || fail "installed: no Start-menu shortcut"
[ "$(entries)" = "$version VORMIK" ] || fail "installed: uninstall entry reads '$(entries)', not '$version VORMIK'"
[ "$(association)" = 1 ] || fail "installed: .oma is not associated with Trevalon"

# The installed program starts and shows its window, its help file beside it.
wine "C:\\Program Files\\Trevalon\\trevalon.exe" >"$work/program.log" 2>&1 &
program=$!
deadline=$((SECONDS + 60))
until xdotool search --onlyvisible --name '^Trevalon$' >/dev/null 2>&1; do
  kill -0 "$program" 2>/dev/null || fail "the installed program ended at start: $(cat "$work/program.log")"
  [ $SECONDS -lt $deadline ] || fail "the installed program showed no window within 60 s"
  sleep 0.2
done
wine taskkill /im trevalon.exe >/dev/null 2>&1 || true
deadline=$((SECONDS + 20))
while kill -0 "$program" 2>/dev/null; do
  [ $SECONDS -lt $deadline ] || fail "the installed program did not close on WM_CLOSE"
  sleep 0.1
done
[ ! -e "$target/trevalon.dat" ] || fail "the installed program wrote settings into Program Files"

# The operator's settings, as the installed program keeps them.
mkdir -p "$userdir"
printf 'BaudRate=38400\r\nPort=COM3\r\n' >"$userdir/trevalon.dat"

# --- Upgrade -----------------------------------------------------------------------
upversion=${version%.*}.$((${version##*.} + 1))
wine msiexec /i "$(winepath -w "$upgrade")" /qn || fail "the upgrade failed with status $?"
wineserver -w
[ "$(entries)" = "$upversion VORMIK" ] ||
  fail "after the upgrade the uninstall entries read '$(entries)', not one '$upversion VORMIK'"
[ -f "$target/trevalon.exe" ] && has_shortcut || fail "the upgrade lost the program or its shortcut"
grep -q 'BaudRate=38400' "$userdir/trevalon.dat" || fail "the upgrade changed the user's settings"

# --- Remove ---------------------------------------------------------------------------
wine msiexec /x "$(winepath -w "$upgrade")" /qn || fail "msiexec /x /qn failed with status $?"
wineserver -w
left=$(find "$target" -type f 2>/dev/null | head -n 5 || true)
[ -z "$left" ] || fail "removal left files: $left"
! has_shortcut || fail "removal left the Start-menu shortcut"
[ -z "$(entries)" ] || fail "removal left the uninstall entry"
[ "$(association)" = 0 ] || fail "removal left the .oma association"
grep -q 'BaudRate=38400' "$userdir/trevalon.dat" || fail "removal touched the user's settings"

echo "MSI $(du -k "$msi" | cut -f1) KiB; installed $(du -sk "$build/package/$name" | cut -f1) KiB;" \
     "silent install under Wine $install_s s"
echo "windows package check: passed"
