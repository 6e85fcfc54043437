#!/usr/bin/env bash
# Builds Vantrel and its benchmarks in build-perf/ and prints the figures of
# docs/PERFORMANCE.md. Needs a quiet machine: nothing else should run.
#   bench/run-bench.sh
#   RUNS=10 IDLE_SECONDS=60 CLICKS=200 CHATTER_SECONDS=10 FLOOD_SECONDS=60 \
#       CTL_RUNS=20 DETECT_RUNS=10 ROOMS_SECONDS=30 FLEET_SIZE=500 bench/run-bench.sh
# The lost-device part runs from a Qt 6 build (build-perf-qt6/) as well;
# QT6=0 leaves it out.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${RUNS:-10}
idleSeconds=${IDLE_SECONDS:-60}
clicks=${CLICKS:-200}
chatterSeconds=${CHATTER_SECONDS:-10}
floodSeconds=${FLOOD_SECONDS:-60}
ctlRuns=${CTL_RUNS:-20}
detectRuns=${DETECT_RUNS:-10}
roomsSeconds=${ROOMS_SECONDS:-30}
fleetSize=${FLEET_SIZE:-500}
withQt6=${QT6:-1}
build=build-perf
buildQt6=build-perf-qt6

tools/install-deps.sh libx11-dev libxdamage-dev ser2net
cutecom=$(command -v cutecom || true)
if [ -z "$cutecom" ]; then
    tools/install-deps.sh cutecom >/dev/null 2>&1 || true
    cutecom=$(command -v cutecom || true)
fi
[ -n "$cutecom" ] || echo "cutecom is not installed and could not be installed: left out"

cmake -S . -B "$build" -DVANTREL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target vantrel vantrelctl projector-sim bare-window barecore vantrel-bench xprobe rooms-bench >/dev/null
vantrel=$build/vantrel
bare=$build/bench/bare-window
bench=$build/bench/vantrel-bench
xprobe=$build/bench/xprobe

# Qt 6, for how each Qt handles a device that goes away.
benchQt6=""
if [ "$withQt6" = 1 ]; then
    if tools/install-deps.sh qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libgl-dev >/dev/null 2>&1 \
        && cmake -S . -B "$buildQt6" -DVANTREL_QT6=ON -DVANTREL_BUILD_TESTS=OFF >/dev/null 2>&1 \
        && cmake --build "$buildQt6" -j2 --target vantrel-bench >/dev/null 2>&1; then
        benchQt6=$buildQt6/bench/vantrel-bench
    else
        echo "Qt 6 could not be installed or built: its part is left out"
    fi
fi

# shellcheck source=bench/xvfb.sh
. bench/xvfb.sh

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
echo "Start-up to the first painted window (Xvfb, median and minimum of $runs) and peak memory:"
awk -f bench/startup.awk -f <(cat <<'EOF'
    END {
        printf "  %-12s %16s %10s %12s %16s %12s\n", "program", "first paint ms", "minimum", "vs vantrel", "VmHWM MiB", "vs vantrel"
        p0 = median(paint["vantrel"]); h0 = median(hwm["vantrel"])
        for (k = 1; k <= count; k++) {
            n = order[k]; p = median(paint[n]); h = median(hwm[n])
            printf "  %-12s %16.1f %10.1f %12.2f %16.1f %12.2f\n", n, p, minimum(paint[n]), p0 / p, h / 1024, h0 / h
        }
        print "  (vs vantrel = the figure of vantrel divided by that of the program)"
        if ("bare-window" in seen) {
            printf "start-up: vantrel / bare-window = %.2f (goal: at most 1.15)\n", p0 / median(paint["bare-window"])
            printf "  (minimum / minimum: %.2f)\n", minimum(paint["vantrel"]) / minimum(paint["bare-window"])
        }
    }
EOF
) "$results"
rm -f "$results"
echo

echo "CPU while idle for ${idleSeconds}s (Xvfb): port open on a silent pseudo-terminal, and waiting for a port"
idleVantrel=$(mktemp)
idleBare=$(mktemp)
idleAbsent=$(mktemp)
idleLost=$(mktemp)
# At once: they sleep, and each one's CPU time is its own.
"$bench" with-pty "$bench" idle "$idleSeconds" "$vantrel" >"$idleVantrel" 2>&1 &
first=$!
"$bench" with-pty "$bench" idle "$idleSeconds" "$bare" >"$idleBare" 2>&1 &
second=$!
"$bench" with-pty --absent "$bench" idle "$idleSeconds" "$vantrel" >"$idleAbsent" 2>&1 &
third=$!
"$bench" with-pty --hangup-after-ms 2000 "$bench" idle "$idleSeconds" "$vantrel" >"$idleLost" 2>&1 &
fourth=$!
wait "$first" "$second" "$third" "$fourth" || true
echo "  vantrel, port open:          $(grep idle_cpu "$idleVantrel" || cat "$idleVantrel")  ($(grep -o 'read [0-9]* bytes' "$idleVantrel") of polls on the far side)"
echo "  bare-window:                 $(grep idle_cpu "$idleBare" || cat "$idleBare")"
echo "  vantrel, stored port absent: $(grep idle_cpu "$idleAbsent" || cat "$idleAbsent")  ($(grep -o '[0-9]* opens of the port in [0-9.]* s' "$idleAbsent"))"
echo "  vantrel, device lost at 2 s: $(grep idle_cpu "$idleLost" || cat "$idleLost")  ($(grep -o '[0-9]* opens of the port in [0-9.]* s' "$idleLost"))"
echo "  (goal while waiting for a port: under 1 % of a core; the idle time starts 5 s after the start)"
rm -f "$idleVantrel" "$idleBare" "$idleAbsent" "$idleLost"
echo

echo "CPU while idle for ${idleSeconds}s (Xvfb), connected through ser2net on 127.0.0.1 to a silent pseudo-terminal"
idleRaw=$(mktemp)
idleTelnet=$(mktemp)
"$bench" with-pty --via raw "$bench" idle "$idleSeconds" "$vantrel" >"$idleRaw" 2>&1 &
first=$!
"$bench" with-pty --via rfc2217 "$bench" idle "$idleSeconds" "$vantrel" >"$idleTelnet" 2>&1 &
second=$!
wait "$first" "$second" || true
echo "  vantrel, tcp://:     $(grep idle_cpu "$idleRaw" || cat "$idleRaw")  ($(grep -o 'read [0-9]* bytes' "$idleRaw") of polls on the far side)"
echo "  vantrel, rfc2217://: $(grep idle_cpu "$idleTelnet" || cat "$idleTelnet")  ($(grep -o 'read [0-9]* bytes' "$idleTelnet") of polls on the far side)"
echo "  (goal: under 0.2 % of a core, as for a serial port)"
rm -f "$idleRaw" "$idleTelnet"
echo

echo "CPU while idle for ${idleSeconds}s (Xvfb), connected to the simulator's PJLink projector on 127.0.0.1 (class 2, password)"
idlePjlink=$(mktemp)
"$bench" with-pty --via pjlink "$bench" idle "$idleSeconds" "$vantrel" >"$idlePjlink" 2>&1 || true
echo "  vantrel, PJLink: $(grep idle_cpu "$idlePjlink" || cat "$idlePjlink")  ($(grep -o 'read [0-9]* commands' "$idlePjlink") on the simulator)"
echo "  (goal: under 0.2 % of a core, as for a serial port)"
rm -f "$idlePjlink"
echo

echo "Click on \"Model\" to the last byte of \"* 0 IR 035\\r\" on the far side ($clicks clicks, offscreen):"
echo "  serial port:               $(QT_QPA_PLATFORM=offscreen "$bench" latency "$clicks" 2>/dev/null)"
echo "  through ser2net, tcp://:     $(QT_QPA_PLATFORM=offscreen "$bench" latency --via raw "$clicks" 2>/dev/null)"
echo "  through ser2net, rfc2217://: $(QT_QPA_PLATFORM=offscreen "$bench" latency --via rfc2217 "$clicks" 2>/dev/null)"
echo

echo "Click on Volume + to \"%2SVOL 1\" logged by the PJLink simulator on 127.0.0.1 ($clicks clicks, offscreen):"
echo "  PJLink:                    $(QT_QPA_PLATFORM=offscreen "$bench" latency --via pjlink "$clicks" 2>/dev/null)"
echo "  PJLink, behind a command:  $(QT_QPA_PLATFORM=offscreen "$bench" behind "$clicks" 2>/dev/null)"
echo "  (goal: under 2 ms, as for a serial port)"
echo "PJLink page, from the connection to the last field shown (goal: within 1 s):"
for _ in 1 2 3; do
    echo "  $(QT_QPA_PLATFORM=offscreen "$bench" fill 2>/dev/null)"
done
echo

echo "One timer tick with \"Debug\" on and a reply to log, by log size (medians, Xvfb, log pane shown):"
"$bench" log-tick 1000 10000 100000 2>/dev/null | sed 's/^/  /'
echo

echo "Simulated days of polls with \"Debug\" on, each answered (log pane shown):"
"$bench" days 1 7 2>/dev/null | sed 's/^/  /'
echo "  (goal: tick time and peak memory after 7 days within 5 % of those after 1 day)"
echo

echo "A chattering projector: an unsolicited \"*001\" at the line's full rate for ${chatterSeconds}s, then"
echo "\"Lamp 1\", then 4 rounds of 1 s of chatter and a lamp report (offscreen, the 100 ms timer running):"
for baud in 9600 38400 115200; do
    echo "  $(QT_QPA_PLATFORM=offscreen "$bench" chatter --seconds "$chatterSeconds" --rounds 5 "$baud" 2>/dev/null)"
done
echo "  (lag: from writing a report's last byte to the tick that shows it; goal: the first tick after it)"
echo

echo "A flood of random bytes for ${floodSeconds}s, as fast as the pseudo-terminal takes them (offscreen, Debug off):"
echo "  $(QT_QPA_PLATFORM=offscreen "$bench" flood "$floodSeconds" 2>/dev/null)"
echo "  (goals: peak memory growth under 10 MiB, one \"Dropped\" line once it is over)"
echo

echo "fork() to the last byte of the first command on the wire (medians of $ctlRuns):"
"$bench" ctl-start "$ctlRuns" "$build/vantrelctl" "$build/bench/barecore" 2>&1 | sed 's/^/  /' || true
echo

echo "vantrelctl detect for three ports, fork() to exit (wall time):"
bench/detect.sh "$detectRuns" "$build/vantrelctl" "$build/tools/projector-sim/projector-sim" || true
echo

# A PJLink projector on 127.0.0.1 with a password: each run connects, is
# greeted, logs in, asks and reads the answer.
echo "vantrelctl status, PJLink with a password, start to exit (median and minimum of $ctlRuns):"
pjlinkDir=$(mktemp -d)
echo bench-secret >"$pjlinkDir/password"
"$build/tools/projector-sim/projector-sim" --family pjlink --lamp on \
    --password-file "$pjlinkDir/password" >"$pjlinkDir/sim.log" 2>&1 &
pjlinkSim=$!
for _ in $(seq 50); do
    grep -q '^LISTEN' "$pjlinkDir/sim.log" && break
    sleep 0.1
done
pjlinkPort=$(awk '/^LISTEN/ { print $3; exit }' "$pjlinkDir/sim.log")
pjlinkTimes=$(mktemp)
for _ in $(seq "$ctlRuns"); do
    begin=$(date +%s%N)
    VANTREL_PJLINK_PASSWORD=bench-secret XDG_CONFIG_HOME="$pjlinkDir" \
        "$build/vantrelctl" --family pjlink --port "127.0.0.1:$pjlinkPort" status >/dev/null
    echo $(( ($(date +%s%N) - begin) / 1000 )) >>"$pjlinkTimes"
done
kill "$pjlinkSim" 2>/dev/null || true
wait "$pjlinkSim" 2>/dev/null || true
sort -n "$pjlinkTimes" | awk '{ t[NR] = $1 } END { printf "  %.1f ms (minimum %.1f ms)\n", t[int((NR + 1) / 2)] / 1000, t[1] / 1000 }'
rm -rf "$pjlinkDir" "$pjlinkTimes"
echo

# 200 PJLink projectors served by one helper process, 5 of them silent; the
# view polls every 10 s, lamps and health every 60 s.
echo "The Rooms view on 200 PJLink projectors on 127.0.0.1, polling for ${roomsSeconds}s (Xvfb):"
QT_QPA_PLATFORM=xcb "$build/bench/rooms-bench" rooms 200 "$roomsSeconds" 2>/dev/null | sed 's/^/  /' || true
echo "  (goals: the table complete within 3 s, under 1 % of a core, at most 100 MiB, no stall over 50 ms)"
echo

echo "A device that goes away: 1 s after the far side of its pseudo-terminal hangs up (offscreen):"
QT_QPA_PLATFORM=offscreen "$bench" lost-device 2>/dev/null | sed 's/^/  /' || true
if [ -n "$benchQt6" ]; then
    QT_QPA_PLATFORM=offscreen "$benchQt6" lost-device 2>/dev/null | sed 's/^/  /' || true
fi
echo

# Many projectors at once on one event loop: PJLink simulators served many to
# one helper process, a few silent, and for status a few serial ones.
echo "vantrelctl --all --timeout 2 with $fleetSize projectors (wall time, threads and memory, sampled):"
QT_QPA_PLATFORM=offscreen "$build/bench/rooms-bench" status "$fleetSize" 2>/dev/null | sed 's/^/  /' || true
QT_QPA_PLATFORM=offscreen "$build/bench/rooms-bench" inventory "$fleetSize" 2>/dev/null | sed 's/^/  /' || true
