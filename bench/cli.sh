#!/usr/bin/env bash
# trevalon-cli against the wire: a fetch of a 512-point format 4 job from
# trevalon-host paced at 9600 baud, its wall time against the time the host's
# bytes need on such a line (10 bits a byte); and the start-up of `show`.
#   bench/cli.sh [BUILD] [ROUNDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/bench/common.sh"
bench_cli_setup "${1:-}"
rounds=${2:-5}
"$host" --jobs "$dir/jobs" --link "$dir/line" --pace 9600 --format 4 --points 512 --insist \
  --log "$dir/host.log" &
pids+=($!)
for _ in $(seq 100); do [ -e "$dir/line" ] && break; sleep 0.05; done

echo "fetch of a 512-point format 4 job at 9600 baud (wall time against wire time):"
for round in $(seq "$rounds"); do
  start=$(date +%s.%N)
  out=$("$cli" fetch 1234 --json --settings "$dir/settings.dat")
  end=$(date +%s.%N)
  python3 - "$start" "$end" "$out" <<'PY'
import json, sys
start, end, out = float(sys.argv[1]), float(sys.argv[2]), json.loads(sys.argv[3])
wire = out["bytes received"] * 10 / 9600
wall = end - start
print(f"  {out['points']} points, {out['bytes received']} bytes from the host: "
      f"wall {wall*1000:.0f} ms, wire {wire*1000:.0f} ms, {100*(wall-wire)/wire:+.1f} %")
PY
done

echo "show start-up (median of 21 runs):"
python3 - "$cli" "$root/tests/data/oma-samples/R360_3.oma" <<'PY'
import subprocess, sys, time
times = []
for _ in range(21):
    start = time.perf_counter()
    subprocess.run([sys.argv[1], "show", sys.argv[2]], check=True, stdout=subprocess.DEVNULL)
    times.append(time.perf_counter() - start)
times.sort()
print(f"  {times[len(times)//2]*1000:.1f} ms")
PY
