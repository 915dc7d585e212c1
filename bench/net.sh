#!/usr/bin/env bash
# trevalon-cli fetch of the same job from trevalon-host over its pseudo-terminal
# and over loopback TCP (socket://), unpaced: what the network link adds.
#   bench/net.sh [BUILD] [ROUNDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/bench/common.sh"
bench_cli_setup "${1:-}"
rounds=${2:-11}
"$host" --jobs "$dir/jobs" --link "$dir/line" --format 4 --points 512 --insist --log "$dir/pty.log" &
pids+=($!)
"$host" --jobs "$dir/jobs" --listen 127.0.0.1:0 --format 4 --points 512 --insist --log "$dir/tcp.log" &
pids+=($!)
for _ in $(seq 100); do
  [ -e "$dir/line" ] && grep -q "listening on" "$dir/tcp.log" 2>/dev/null && break
  sleep 0.05
done
url=socket://$(sed -n 's/.*listening on \([^,]*\),.*/\1/p' "$dir/tcp.log")

python3 - "$cli" "$dir/settings.dat" "$url" "$rounds" <<'PY'
import subprocess, sys, time
cli, settings, url, rounds = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
def median(extra):
    times = []
    for _ in range(rounds):
        start = time.perf_counter()
        subprocess.run([cli, "fetch", "1234", "--settings", settings] + extra, check=True,
                       stdout=subprocess.DEVNULL)
        times.append(time.perf_counter() - start)
    times.sort()
    return times[len(times) // 2] * 1000
pty = median([])
tcp = median(["--port", url])
print(f"fetch of a 512-point format 4 job, median of {rounds}:")
print(f"  pseudo-terminal {pty:.1f} ms")
print(f"  loopback TCP    {tcp:.1f} ms ({tcp - pty:+.1f} ms)")
PY
