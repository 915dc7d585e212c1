#!/usr/bin/env bash
# trevalon-host serving a lab: trevalon-cli fetches of a 512-point format 4 job
# over loopback TCP with the host paced at 9600 baud, one at a time and 20 at
# once: each conversation's wall time (20 at once against one alone), the
# host's CPU time per conversation, and its resident memory per idle
# connection (200 clients connected without a word).
#   bench/host.sh [BUILD] [ROUNDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/bench/common.sh"
bench_cli_setup "${1:-}"
rounds=${2:-3}
"$host" --jobs "$dir/jobs" --listen 127.0.0.1:0 --pace 9600 --format 4 --points 512 --insist \
  --max-sessions 1000 --log "$dir/host.log" &
hostpid=$!
pids+=("$hostpid")
for _ in $(seq 100); do
  grep -q "listening on" "$dir/host.log" 2>/dev/null && break
  sleep 0.05
done
url=socket://$(sed -n 's/.*listening on \([^,]*\),.*/\1/p' "$dir/host.log")

python3 - "$cli" "$dir/settings.dat" "$url" "$rounds" "$hostpid" <<'PY'
import os, socket, subprocess, sys, time
cli, settings, url, rounds, pid = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4]), sys.argv[5]
tick = os.sysconf("SC_CLK_TCK")

def cpu():
    fields = open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / tick  # utime + stime

def resident():
    for line in open(f"/proc/{pid}/status"):
        if line.startswith("VmRSS:"):
            return int(line.split()[1])

def batch(clients):
    """Starts Clients fetches at once; their wall times and the host's CPU per fetch."""
    before = cpu()
    started = []
    for _ in range(clients):
        started.append((time.perf_counter(), subprocess.Popen(
            [cli, "fetch", "1234", "--settings", settings, "--port", url],
            stdout=subprocess.DEVNULL)))
    times = []
    for start, process in started:
        if process.wait() != 0:
            sys.exit("a fetch failed")
        times.append(time.perf_counter() - start)
    return times, (cpu() - before) / clients

single, single_cpu, many, many_cpu = [], [], [], []
for _ in range(rounds):
    times, per = batch(1)
    single += times
    single_cpu.append(per)
    times, per = batch(20)
    many += times
    many_cpu.append(per)
one = sum(single) / len(single)
twenty = sum(many) / len(many)
print(f"fetch of a 512-point format 4 job at 9600 baud over loopback TCP, {rounds} rounds:")
print(f"  alone          {one*1000:.0f} ms a conversation")
print(f"  20 at once     {twenty*1000:.0f} ms on average, slowest {max(many)*1000:.0f} ms "
      f"({twenty/one:.2f} x alone; aim 1.10 x at most)")
print(f"  host CPU       {1000*sum(single_cpu)/len(single_cpu):.1f} ms a conversation alone, "
      f"{1000*sum(many_cpu)/len(many_cpu):.1f} ms with 20 at once")

host, port = url[len("socket://"):].rsplit(":", 1)
base = resident()
idle = []
for _ in range(200):
    idle.append(socket.create_connection((host, int(port))))
deadline = time.time() + 10
log = os.path.join(os.path.dirname(settings), "host.log")
while time.time() < deadline:
    text = open(log).read()
    if text.count("is session #") >= rounds * 21 + len(idle):
        break
    time.sleep(0.05)
time.sleep(0.5)
loaded = resident()
print(f"  idle clients   {(loaded - base) / len(idle):.1f} KiB resident each "
      f"({base} KiB before, {loaded} KiB with {len(idle)} connected)")
for connection in idle:
    connection.close()
PY
