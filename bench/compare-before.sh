#!/usr/bin/env bash
# The figures that changed since the previous release, before and after, in
# one run: start-up (with bare-window as the floor), the lag of a lamp report
# after 10 s of chatter at 9600 baud, and 10 s of a flood of random bytes.
# Run by hand on a quiet machine; it needs the release's source, in a
# worktree of its own that it adds if missing (nothing of it is committed):
#   bench/compare-before.sh [RELEASE_SOURCE]     (default /work/wt-old)
#   RELEASE=f57df98 RUNS=10 bench/compare-before.sh
# The release builds in build-before/ with this tree's bench against its
# window (bench/compare/CMakeLists.txt), the current tree in build-perf/.
set -euo pipefail
cd "$(dirname "$0")/.."

release=${RELEASE:-f57df98}
releaseSource=${1:-/work/wt-old}
runs=${RUNS:-10}
chatterSeconds=${CHATTER_SECONDS:-10}
floodSeconds=${FLOOD_SECONDS:-10}
capSeconds=60
capMib=2048

tools/install-deps.sh libx11-dev libxdamage-dev
[ -d "$releaseSource" ] || git worktree add --detach "$releaseSource" "$release" >/dev/null

cmake -S . -B build-perf -DVANTREL_BUILD_TESTS=OFF >/dev/null
cmake --build build-perf -j2 --target vantrel bare-window vantrel-bench xprobe >/dev/null
cmake -S bench/compare -B build-before -DVANTREL_BEFORE_SOURCE="$(realpath "$releaseSource")" >/dev/null
cmake --build build-before -j2 --target vantrel vantrel-bench-before >/dev/null
bench=build-perf/bench/vantrel-bench
benchBefore=build-before/vantrel-bench-before

# shellcheck source=bench/xvfb.sh
. bench/xvfb.sh

echo "before: $(git -C "$releaseSource" log -1 --format='%h %s'); after: $(git log -1 --format='%h %s')"
echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg), Qt $(qmake -query QT_VERSION 2>/dev/null || echo '?'), $(date -u '+%F %H:%M') UTC"
echo

programs=("before:build-before/release/vantrel" "after:build-perf/vantrel" "bare-window:build-perf/bench/bare-window")
results=$(mktemp)
for name_path in "${programs[@]}"; do
    "$bench" with-pty build-perf/bench/xprobe --settle 500 -- "${name_path#*:}" >/dev/null 2>&1 || true
done
for run in $(seq "$runs"); do
    for name_path in "${programs[@]}"; do
        line=$("$bench" with-pty build-perf/bench/xprobe --settle 2000 -- "${name_path#*:}" 2>/dev/null | tail -1)
        echo "${name_path%%:*} $line" >>"$results"
    done
done
echo "Start-up to the first painted window (Xvfb, $runs runs each, alternating):"
awk -f bench/startup.awk -f <(cat <<'EOF'
    END {
        printf "  %-12s %10s %10s %14s %12s\n", "program", "median ms", "minimum", "÷ bare-window", "VmHWM MiB"
        b = median(paint["bare-window"])
        for (k = 1; k <= count; k++) {
            n = order[k]
            printf "  %-12s %10.1f %10.1f %14.2f %12.1f\n", n, median(paint[n]), minimum(paint[n]), median(paint[n]) / b, median(hwm[n]) / 1024
        }
        printf "start-up: vantrel / bare-window = %.2f before, %.2f after (goal: at most 1.15)\n", median(paint["before"]) / b, median(paint["after"]) / b
        printf "  (minimum / minimum: %.2f before, %.2f after)\n", minimum(paint["before"]) / minimum(paint["bare-window"]), minimum(paint["after"]) / minimum(paint["bare-window"])
    }
EOF
) "$results"
rm -f "$results"
echo

echo "\"*001\" at 9600 baud's full rate for ${chatterSeconds}s, then \"Lamp 1\" (offscreen; given up after ${capSeconds}s):"
echo "  before: $(QT_QPA_PLATFORM=offscreen "$benchBefore" chatter --seconds "$chatterSeconds" --cap "$capSeconds" 9600 2>/dev/null)"
echo "  after:  $(QT_QPA_PLATFORM=offscreen "$bench" chatter --seconds "$chatterSeconds" --cap "$capSeconds" 9600 2>/dev/null)"
echo

echo "Random bytes as fast as the pseudo-terminal takes them for ${floodSeconds}s, stopped at ${capMib} MiB resident (offscreen):"
echo "  before: $(QT_QPA_PLATFORM=offscreen "$benchBefore" flood "$floodSeconds" "$capMib" 2>/dev/null)"
echo "  after:  $(QT_QPA_PLATFORM=offscreen "$bench" flood "$floodSeconds" "$capMib" 2>/dev/null)"
