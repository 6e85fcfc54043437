#!/usr/bin/env bash
# How long `vantrelctl detect` takes for three ports: one simulator of each
# family on its own pseudo-terminal, then three silent ones (every family
# waited out on every port). Wall time from the shell, fork and exec
# included; medians, minima and maxima of RUNS, one untimed run first.
#   bench/detect.sh RUNS VANTRELCTL PROJECTOR_SIM
set -euo pipefail
cd "$(dirname "$0")/.."

runs=$1
ctl=$2
sim=$3

# shellcheck source=tools/processes.sh
. tools/processes.sh
children=()
scratch=$(mktemp -d)
trap 'stop_children; rm -rf "$scratch"' EXIT

start_sims()
{
    local name=$1
    shift
    local family
    for family in acer vivitek infocus; do
        "$sim" --family "$family" "$@" --link "$scratch/$name-$family" >/dev/null 2>&1 &
        children+=($!)
        await "$!" test -e "$scratch/$name-$family"
    done
}

measure()
{
    local set=$1 name=$2 expected=$3
    local ports=(--port "$scratch/$set-acer" --port "$scratch/$set-vivitek"
        --port "$scratch/$set-infocus")
    "$ctl" --no-scan detect "${ports[@]}" >/dev/null 2>&1 || true
    local run start end status times=()
    for run in $(seq "$runs"); do
        start=$(date +%s%N)
        status=0
        "$ctl" --no-scan detect "${ports[@]}" >/dev/null 2>&1 || status=$?
        end=$(date +%s%N)
        [ "$status" = "$expected" ] || echo "  run $run: exit $status, expected $expected"
        times+=($(((end - start) / 1000)))
    done
    printf '%s\n' "${times[@]}" | sort -n | awk -v name="$name" '
        { t[NR] = $1 }
        END {
            median = NR % 2 ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2
            printf "  %-36s median %7.1f ms, minimum %7.1f, maximum %7.1f (%d runs)\n",
                name, median / 1000, t[1] / 1000, t[NR] / 1000, NR
        }'
}

start_sims found
start_sims silent --silent
measure found "Acer, Vivitek, InFocus" 0
measure silent "three silent ports" 2
