#!/usr/bin/env bash
# Builds Vantrel and its benchmarks in build-perf/ and prints the figures of
# docs/PERFORMANCE.md. Needs a quiet machine: nothing else should run.
#   bench/run-bench.sh
#   RUNS=10 IDLE_SECONDS=60 CLICKS=200 bench/run-bench.sh
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${RUNS:-10}
idleSeconds=${IDLE_SECONDS:-60}
clicks=${CLICKS:-200}
build=build-perf

tools/install-deps.sh libx11-dev libxdamage-dev
cutecom=$(command -v cutecom || true)
if [ -z "$cutecom" ]; then
    tools/install-deps.sh cutecom >/dev/null 2>&1 || true
    cutecom=$(command -v cutecom || true)
fi
[ -n "$cutecom" ] || echo "cutecom is not installed and could not be installed: left out"

cmake -S . -B "$build" -DVANTREL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target vantrel bare-window vantrel-bench xprobe >/dev/null
vantrel=$build/vantrel
bare=$build/bench/bare-window
bench=$build/bench/vantrel-bench
xprobe=$build/bench/xprobe

# A display of our own, with nothing else on it.
display=99
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
    display=$((display + 1))
done
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true' EXIT
export DISPLAY=":$display"
for _ in $(seq 50); do
    xdpyinfo >/dev/null 2>&1 && break
    sleep 0.1
done
unset QT_QPA_PLATFORM

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(awk '/MemTotal/ {printf "%.1f GiB", $2/1048576}' /proc/meminfo)"
echo "Qt $(qmake -query QT_VERSION 2>/dev/null || echo '?'), $(date -u +%F)"
echo

# Start-up: each program runs on its own pseudo-terminal and settings store;
# one untimed run first warms the file cache, then the runs alternate.
programs=("vantrel:$vantrel" "bare-window:$bare")
[ -n "$cutecom" ] && programs+=("cutecom:$cutecom")
results=$(mktemp)
for name_path in "${programs[@]}"; do
    "$bench" with-pty "$xprobe" --settle 500 -- "${name_path#*:}" >/dev/null 2>&1 || true
done
for run in $(seq "$runs"); do
    for name_path in "${programs[@]}"; do
        line=$("$bench" with-pty "$xprobe" --settle 2000 -- "${name_path#*:}" 2>/dev/null | tail -1)
        echo "${name_path%%:*} $line" >>"$results"
    done
done
echo "Start-up to the first painted window (Xvfb, median of $runs) and peak memory:"
awk -v runs="$runs" '
    function median(list, n,   i, j, t, a) {
        n = split(list, a, " ")
        for (i = 2; i <= n; i++) for (j = i; j > 1 && a[j-1] + 0 > a[j] + 0; j--) { t = a[j]; a[j] = a[j-1]; a[j-1] = t }
        return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
    }
    {
        name = $1
        if (!(name in seen)) { order[++count] = name; seen[name] = 1 }
        for (i = 2; i <= NF; i++) {
            split($i, kv, "=")
            if (kv[1] == "first_paint_ms") paint[name] = paint[name] " " kv[2]
            if (kv[1] == "vmhwm_kib") hwm[name] = hwm[name] " " kv[2]
        }
    }
    END {
        printf "  %-12s %16s %12s %16s %12s\n", "program", "first paint ms", "vs vantrel", "VmHWM MiB", "vs vantrel"
        p0 = median(paint["vantrel"]); h0 = median(hwm["vantrel"])
        for (k = 1; k <= count; k++) {
            n = order[k]; p = median(paint[n]); h = median(hwm[n])
            printf "  %-12s %16.1f %12.2f %16.1f %12.2f\n", n, p, p0 / p, h / 1024, h0 / h
        }
        print "  (vs vantrel = the figure of vantrel divided by that of the program)"
    }' "$results"
rm -f "$results"
echo

echo "CPU while idle for ${idleSeconds}s, port open on a silent pseudo-terminal (Xvfb):"
idleVantrel=$(mktemp)
idleBare=$(mktemp)
"$bench" with-pty "$bench" idle "$idleSeconds" "$vantrel" >"$idleVantrel" 2>&1 &
first=$!
"$bench" with-pty "$bench" idle "$idleSeconds" "$bare" >"$idleBare" 2>&1 &
second=$!
wait "$first" "$second" || true
echo "  vantrel:     $(grep idle_cpu "$idleVantrel" || cat "$idleVantrel")  ($(grep -o 'read [0-9]* bytes' "$idleVantrel") of polls on the far side)"
echo "  bare-window: $(grep idle_cpu "$idleBare" || cat "$idleBare")"
rm -f "$idleVantrel" "$idleBare"
echo

echo "Click on \"Model\" to the last byte of \"* 0 IR 035\\r\" on the far side ($clicks clicks, offscreen):"
echo "  $(QT_QPA_PLATFORM=offscreen "$bench" latency "$clicks" 2>/dev/null)"
echo

echo "One timer tick with \"Debug\" on and a reply to log, by log size (medians, Xvfb, log pane shown):"
"$bench" log-tick 1000 10000 100000 2>/dev/null | sed 's/^/  /'
