#!/usr/bin/env bash
# The installed program claims .oma files: `cmake --install` into a fresh
# prefix, the desktop's mime database and menu-entry index rebuilt there as
# the package's triggers do, then the desktop's own lookup (xdg-mime, GNOME's
# rules) must name our type for a job file and Trevalon as its program.
#   installed_mime_test.sh BUILD_DIR SAMPLE_JOB_FILE
set -euo pipefail
build=$1
sample=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "installed mime type: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$work/prefix" >/dev/null
cp "$sample" "$work/job 1234.oma"
export XDG_CURRENT_DESKTOP=GNOME XDG_DATA_HOME=$work/data-home
mkdir -p "$XDG_DATA_HOME"

# Without our prefix the system knows no such type: the check below can fail.
export XDG_DATA_DIRS=/usr/share
before=$(xdg-mime query filetype "$work/job 1234.oma" || true)
[ "$before" != application/x-oma-job ] || fail "the system already knew the type; nothing is tested"

[ -f "$work/prefix/share/mime/packages/trevalon.xml" ] || fail "share/mime/packages/trevalon.xml not installed"
export XDG_DATA_DIRS=$work/prefix/share:/usr/share
update-mime-database "$work/prefix/share/mime"
type=$(xdg-mime query filetype "$work/job 1234.oma")
[ "$type" = application/x-oma-job ] || fail "xdg-mime names '$type' for a .oma file"

entry=$work/prefix/share/applications/trevalon.desktop
grep -qx 'MimeType=application/x-oma-job;' "$entry" || fail "the menu entry does not claim the type"
grep -qx 'Exec=trevalon %f' "$entry" || fail "the menu entry does not pass the file: $(grep '^Exec=' "$entry")"
update-desktop-database "$work/prefix/share/applications"
# The desktop offers only programs it finds on the PATH.
export PATH=$work/prefix/bin:$PATH
program=$(xdg-mime query default application/x-oma-job)
[ "$program" = trevalon.desktop ] || fail "the type opens with '$program'"
echo "installed mime type: $type, opened by $program"
