#!/usr/bin/env bash
# How closely trevalon-host --replay keeps a transcript's times: trevalon-cli
# records its own transcript of each golden conversation replayed at the
# recorded pace, and each host chunk's pause after the client's bytes before it
# is set against the recorded pause.
#   bench/replay.sh [BUILD]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
cli=$build/cli/trevalon-cli
host=$build/tools/trevalon-host
golden=$root/tests/data/transcripts
dir=$(mktemp -d)
pid=""
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$dir"' EXIT
cp "$root/tests/data/oma-samples/R360_3.oma" "$dir/job.oma"

for name in request-init request-split request-noise request-format4 store-init store-noinit; do
  mode=$(python3 -c 'import json,sys; print(json.loads(open(sys.argv[1]).readline())["tracerMode"])' \
    "$golden/$name.jsonl")
  printf 'Port=%s\r\nBaudRate=9600\r\nParity=None\r\nDataBits=8\r\nStopBits=1\r\nTracerMode=%s\r\nPauseMode=N\r\n' \
    "$dir/line" "$mode" >"$dir/settings.dat"
  rm -f "$dir/line"
  "$host" --replay "$golden/$name.jsonl" --link "$dir/line" --log "$dir/host.log" &
  pid=$!
  for _ in $(seq 100); do [ -e "$dir/line" ] && break; sleep 0.05; done
  case $name in
    request-*) "$cli" fetch 1234 --settings "$dir/settings.dat" --transcript "$dir/new.jsonl" >/dev/null ;;
    store-*) "$cli" store "$dir/job.oma" --tray 1234 --settings "$dir/settings.dat" \
      --transcript "$dir/new.jsonl" >/dev/null ;;
  esac
  wait "$pid" || { echo "$name: the replay diverged" >&2; exit 1; }
  pid=""
  python3 - "$name" "$golden/$name.jsonl" "$dir/new.jsonl" <<'PY'
import json, statistics, sys
# The replay answers each client packet after the recorded pause, so a host
# chunk's time is taken from the client bytes before it: its lateness is how
# much longer than recorded the host took to answer.
def timeline(path):
    sent, received, out = 0, 0, []  # (client bytes so far, host bytes so far, ms)
    for line in open(path).read().splitlines()[1:]:
        entry = json.loads(line)
        if entry.get("dir") == "out":
            sent += len(entry["data"])
        elif entry.get("dir") == "in":
            received += len(entry["data"])
        else:
            continue
        out.append((sent, received, entry["ms"], entry["dir"]))
    return out
def when(line, sent=None, received=None):
    for s, r, ms, _ in line:
        if (sent is None or s >= sent) and (received is None or r >= received):
            return ms
    sys.exit(f"{sys.argv[1]}: the replayed conversation stops short")
recorded, replayed = timeline(sys.argv[2]), timeline(sys.argv[3])
late, pauses = [], 0
for sent, received, ms, direction in recorded:
    if direction != "in":
        continue
    asked = when(recorded, sent=sent) if sent else 0
    pauses += ms - asked
    late.append((when(replayed, received=received) - when(replayed, sent=sent)) - (ms - asked))
print(f"{sys.argv[1]:16s} {len(late):3d} host chunks, {pauses:4d} ms of recorded host pauses: "
      f"lateness median {statistics.median(late):+3.0f} ms, max {max(late):+3.0f} ms")
PY
done
