#!/usr/bin/env bash
# The window program's command line: --help names FILE and every option and
# needs no display; an unknown option or a second file is refused with the
# usage line and exit status 2 before any window opens.
#
#   program_arguments_test.sh PROGRAM
set -uo pipefail
program=$1
fail() { echo "FAIL: $*" >&2; exit 1; }

help=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= timeout 10 "$program" --help) ||
  fail "--help failed without a display"
for text in "Usage: trevalon [OPTION]... [FILE]" "FILE, an OMA job file" "-h, --help" "--version" \
            "-platform NAME" "Exit status:"; do
  grep -qF -- "$text" <<<"$help" || fail "--help does not say '$text'"
done

check_refused() {
  local expected=$1
  shift
  local out err status
  err=$(mktemp)
  # The offscreen platform: were the window to open, the time limit would end it.
  out=$(QT_QPA_PLATFORM=offscreen timeout 10 "$program" "$@" 2>"$err")
  status=$?
  local text
  text=$(grep -v '^QStandardPaths' "$err")
  rm -f "$err"
  [ "$status" -eq 2 ] || fail "'$*' exited $status (124: the window opened), not 2: $text"
  [ -z "$out" ] || fail "'$*' printed on standard output: $out"
  [ "$text" = "trevalon: $expected
Usage: trevalon [OPTION]... [FILE]
Try 'trevalon --help'." ] || fail "'$*' said: $text"
}
check_refused "unknown option --bogus" --bogus
check_refused "unknown option -x" -x job.oma
check_refused "one job file at most, not also b.oma" a.oma b.oma
check_refused "one job file at most, not also --b.oma" a.oma -- --b.oma
# Qt's own options are Qt's: -platform is taken, then the file stays alone.
check_refused "unknown option --frobnicate" -platform offscreen --frobnicate
echo "ok"
