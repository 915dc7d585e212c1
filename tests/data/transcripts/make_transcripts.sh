#!/usr/bin/env bash
# Writes the golden session transcripts of this folder: trevalon-cli recorded
# against trevalon-host on a pseudo-terminal, a request and a store in each
# tracer mode and the simulator's fault modes. Run it again only when a
# conversation is meant to change, and review the diff.
#   tests/data/transcripts/make_transcripts.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?usage: make_transcripts.sh BUILD_DIR}" && pwd)
samples=$here/../oma-samples
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT

# record NAME TRACER_MODE "HOST OPTIONS" CLI ARGS...
record() {
  local name=$1 mode=$2 hostopts=$3
  shift 3
  rm -rf "$work/jobs" "$work/line"
  mkdir -p "$work/jobs"
  cp "$samples/R360_3.oma" "$work/jobs/1234.oma"
  printf 'Port=%s\r\nBaudRate=9600\r\nParity=None\r\nDataBits=8\r\nStopBits=1\r\nTracerMode=%s\r\nPauseMode=N\r\n' \
    "$work/line" "$mode" >"$work/settings.dat"
  # shellcheck disable=SC2086
  "$build/tools/trevalon-host" --jobs "$work/jobs" --link "$work/line" --log "$work/host.log" $hostopts &
  local pid=$!
  for _ in $(seq 100); do [ -e "$work/line" ] && break; sleep 0.05; done
  "$build/cli/trevalon-cli" "$@" --settings "$work/settings.dat" --transcript "$work/t.jsonl" \
    >/dev/null 2>&1 || true
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  # Times and paths vary from run to run; the bytes and their order do not.
  sed -e 's/"start":"[^"]*"/"start":"2026-12-07T12:00:00.000Z"/' \
      -e "s#\"port\":\"[^\"]*\"#\"port\":\"COM1\"#" "$work/t.jsonl" >"$here/$name.jsonl"
}

cp "$samples/R360_3.oma" "$work/job.oma"
record request-init Init "" fetch 1234
record request-noinit "No Init" "" fetch 1234
record store-init Init "" store "$work/job.oma" --tray 1234
record store-noinit "No Init" "" store "$work/job.oma" --tray 1234
record request-format4 Init "--format 4 --points 400" fetch 1234
record request-split Init "--split job --pieces 4 --gap 50" fetch 1234
record request-noise Init "--noise all" fetch 1234
record request-not-found Init "" fetch 4711
record request-init-refused Init "--status init:2:Busy" fetch 1234
record store-refused Init "--refuse-store" store "$work/job.oma" --tray 1234
record store-grant-refused Init "--status grant:7" store "$work/job.oma" --tray 1234
record request-hang-up Init "--hang-up job" fetch 1234
echo "transcripts written to $here"
