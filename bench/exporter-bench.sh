#!/usr/bin/env bash
# vantrelctl exporter: how long a scrape of one PJLink projector and of a
# group of them takes (simulators on 127.0.0.1), and the exporter's CPU and
# memory while nobody scrapes. Needs a quiet machine for figures worth
# comparing.
#   bench/exporter-bench.sh
#   SCRAPES=50 GROUP=100 GROUP_SCRAPES=10 IDLE_SECONDS=30 BUILD=build bench/exporter-bench.sh
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=tools/processes.sh
. tools/processes.sh

scrapes=${SCRAPES:-50}
group=${GROUP:-100}
groupScrapes=${GROUP_SCRAPES:-10}
idleSeconds=${IDLE_SECONDS:-30}
build=${BUILD:-build-perf}

[ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -DVANTREL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target vantrelctl projector-sim >/dev/null
ctl=$PWD/$build/vantrelctl
simulator=$PWD/$build/tools/projector-sim/projector-sim

work=$(mktemp -d "${TMPDIR:-/tmp}/vantrel-exporter-bench.XXXXXX")
children=()
cleanup()
{
    stop_children
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP
export XDG_CONFIG_HOME=$work/config

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "$group PJLink simulators, $(date -u +%F)"
for i in $(seq -w 1 "$group"); do
    "$simulator" --family pjlink --lamps 2 --pjlink-class 2 >"$work/sim$i.out" &
    children+=("$!")
done
for i in $(seq -w 1 "$group"); do
    await "${children[$((10#$i - 1))]}" grep -q '^LISTEN' "$work/sim$i.out" \
        || { echo "simulator $i did not start" >&2; exit 1; }
    port=$(awk 'NR == 1 {print $3}' "$work/sim$i.out")
    "$ctl" projector add "room-$i" --family pjlink --port "127.0.0.1:$port" --group fleet >/dev/null
done

"$ctl" exporter --listen 127.0.0.1:0 >"$work/exporter.out" &
exporter=$!
children+=("$exporter")
await "$exporter" grep -q '^vantrelctl: serving' "$work/exporter.out" || { echo "the exporter did not start" >&2; exit 1; }
port=$(sed -n 's|^vantrelctl: serving http://127.0.0.1:\([0-9]*\)/.*|\1|p' "$work/exporter.out")

python3 - "$port" "$exporter" "$scrapes" "$group" "$groupScrapes" "$idleSeconds" <<'EOF'
import statistics, sys, time, urllib.request

port, pid, scrapes, group, group_scrapes, idle = sys.argv[1], int(sys.argv[2]), *map(int, sys.argv[3:])
base = f"http://127.0.0.1:{port}"

def scrape(path):
    start = time.perf_counter()
    with urllib.request.urlopen(base + path, timeout=120) as answer:
        body = answer.read().decode()
    return (time.perf_counter() - start) * 1000, body

def summary(name, times):
    times = sorted(times)
    print(f"{name}: median {statistics.median(times):.1f} ms, "
          f"90th {times[int(0.9 * (len(times) - 1))]:.1f} ms, max {times[-1]:.1f} ms ({len(times)} scrapes)")

scrape("/probe?target=room-" + "1".zfill(len(str(group))))
summary("one projector", [scrape("/probe?target=room-" + "1".zfill(len(str(group))))[0] for _ in range(scrapes)])
times = []
for _ in range(group_scrapes):
    ms, body = scrape("/probe?group=fleet")
    times.append(ms)
    reachable = sum(1 for line in body.splitlines() if line.startswith("vantrel_reachable{") and line.endswith(" 1"))
    assert reachable == group, f"{reachable} of {group} reachable"
summary(f"a group of {group}", times)

def cpu_seconds():
    fields = open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / 100.0  # utime + stime, at USER_HZ 100
before, start = cpu_seconds(), time.monotonic()
time.sleep(idle)
used, elapsed = cpu_seconds() - before, time.monotonic() - start
print(f"idle: {100 * used / elapsed:.3f} % of a core over {elapsed:.0f} s")
rss = [l for l in scrape("/metrics")[1].splitlines() if l.startswith("process_resident_memory_bytes ")]
print(f"resident memory after the runs: {float(rss[0].split()[1]) / 1048576:.1f} MiB")
EOF
