# shellcheck shell=bash
# What the command-line benchmarks share; sourced, not run, after root is set.

# bench_cli_setup [BUILD]: sets build (BUILD, default build/), cli, host and
# dir, a temporary folder holding jobs/1234.oma (the R360_3 sample) and
# settings.dat, which names the line $dir/line at 9600 baud, 8N1, tracer mode
# Init, no pause. On exit the programs whose ids the caller adds to pids are
# ended and dir goes.
# shellcheck disable=SC2034  # the variables are the caller's
bench_cli_setup() {
  build=${1:-$root/build}
  cli=$build/cli/trevalon-cli
  host=$build/tools/trevalon-host
  dir=$(mktemp -d)
  pids=()
  trap 'kill "${pids[@]}" 2>/dev/null || true; rm -rf "$dir"' EXIT
  mkdir "$dir/jobs"
  cp "$root/tests/data/oma-samples/R360_3.oma" "$dir/jobs/1234.oma"
  printf 'Port=%s\r\nBaudRate=9600\r\nParity=None\r\nDataBits=8\r\nStopBits=1\r\nTracerMode=Init\r\nPauseMode=N\r\n' \
    "$dir/line" > "$dir/settings.dat"
}
