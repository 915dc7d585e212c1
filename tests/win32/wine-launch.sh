#!/usr/bin/env bash
# Runs COMMAND (the kit's wine-run.sh with a test program and its arguments):
# the Windows tree's cross-compiling emulator, so every test program CTest
# runs and every test listing starts here.
#
#   wine-launch.sh COMMAND [ARGUMENTS...]
#
# Wine (8.0) now and then ends a freshly started program before its first
# instruction: it cannot map the shared user data page at its fixed address
# (virtual_alloc_first_teb: "failed to map the shared user data: c0000018",
# something else was placed there by chance), and the wine process exits
# with status 1 within a few hundredths of a second, without a byte written
# (that error line shows only when Wine's err channel is on). A GoogleTest
# program always prints its banner before anything else, so its main never
# ran. Such a run is started again, once; the retry is noted on standard
# error and, when TREVALON_WINE_RESTARTS names a file, there too. A program
# that wrote anything else, or succeeded, is never repeated.
#
# Standard output and error pass through as they come, kept apart (test
# discovery reads standard output alone).
set -u
work=$(mktemp -d "${TMPDIR:-/tmp}/wine-launch.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
mkfifo "$work/out.pipe" "$work/err.pipe"

# Runs the command once; status is its exit status, and out and err hold
# what it wrote.
run() {
  local outCopy errCopy
  tee "$work/out" <"$work/out.pipe" &
  outCopy=$!
  tee "$work/err" <"$work/err.pipe" >&2 &
  errCopy=$!
  "$@" >"$work/out.pipe" 2>"$work/err.pipe"
  status=$?
  wait "$outCopy" "$errCopy"
}

started=$(date +%s.%N)
run "$@"
if [ "$status" -ne 0 ] && [ ! -s "$work/out" ] &&
  ! grep -qv 'failed to map the shared user data' "$work/err"; then
  seconds=$(awk -v a="$started" -v b="$(date +%s.%N)" 'BEGIN { printf "%.2f", b - a }')
  note="wine-launch: started again: $* ended with status $status after $seconds s without any output"
  echo "$note" >&2
  if [ -n "${TREVALON_WINE_RESTARTS:-}" ]; then
    echo "$(date -u +%FT%TZ) $note" >>"$TREVALON_WINE_RESTARTS"
  fi
  run "$@"
fi
# A program killed by a signal is reported as such, as if run directly.
if [ "$status" -gt 128 ] && [ "$status" -lt 160 ]; then
  rm -rf "$work"
  trap - EXIT "$((status - 128))"
  kill -s "$((status - 128))" $$
fi
exit "$status"
