#!/usr/bin/env bash
# Runs Vantrel against a simulated projector on a pseudo-terminal.
#
#   tools/run-demo.sh [--family acer|vivitek|infocus|pjlink] [--via raw|rfc2217] [--seconds N] [--screenshot FILE]
#
# The pjlink family is a class 2 PJLink projector on 127.0.0.1, behind a
# password the demo makes up and keeps in its own files.
# With --via the simulator is reached through Debian's ser2net on 127.0.0.1,
# raw TCP or RFC 2217, and the stored port is the server's address.
#
# With a usable display the window opens and the demo ends when it is closed.
# Without one the session runs under Xvfb for N seconds (12 by default), a
# screenshot of the window is saved (FILE, or build/demo-<family>.png) and the
# simulator's traffic is printed. Vantrel keeps its settings in a store of the
# demo's own, so the user's settings are never touched.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=tools/processes.sh
. tools/processes.sh

usage()
{
    sed -n 's/^#   //p' "$0" >&2
    exit "${1:-2}"
}

family=acer
seconds=12
screenshot=""
via=""
while [ $# -gt 0 ]; do
    case "$1" in
    --family) [ $# -ge 2 ] || usage; family=$2; shift 2 ;;
    --seconds) [ $# -ge 2 ] || usage; seconds=$2; shift 2 ;;
    --via) [ $# -ge 2 ] || usage; via=$2; shift 2 ;;
    --screenshot) [ $# -ge 2 ] || usage; screenshot=$2; shift 2 ;;
    -h | --help) usage 0 ;;
    *) echo "run-demo: unknown option $1" >&2; usage ;;
    esac
done
case "$family" in
acer) model=0 ;;
vivitek) model=1 ;;
infocus) model=2 ;;
pjlink) model=3 ;;
*) echo "run-demo: --family wants acer, vivitek, infocus or pjlink" >&2; exit 2 ;;
esac
case "$via" in
"" | raw | rfc2217) ;;
*) echo "run-demo: --via wants raw or rfc2217" >&2; exit 2 ;;
esac
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ] || [ "$seconds" -gt 3600 ]; then
    echo "run-demo: --seconds wants a whole number from 1 to 3600" >&2
    exit 2
fi

tools/install-deps.sh ${via:+ser2net}
build=build
cmake -S . -B "$build" >/dev/null
cmake --build "$build" -j"$(nproc)" --target vantrel projector-sim
vantrel=$PWD/$build/vantrel
simulator=$PWD/$build/tools/projector-sim/projector-sim
[ -n "$screenshot" ] || screenshot=$PWD/$build/demo-$family.png
case "$screenshot" in /*) ;; *) screenshot=$PWD/$screenshot ;; esac

work=$(mktemp -d "${TMPDIR:-/tmp}/vantrel-demo.XXXXXX")
children=()

cleanup()
{
    stop_children
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP


display=""
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    display=$DISPLAY
fi

mkdir -p "$work/config/Toskeld" "$work/runtime"
chmod 700 "$work/runtime"
traffic=$work/traffic.log
if [ "$family" = pjlink ]; then
    [ -z "$via" ] || { echo "run-demo: --via is for the serial families" >&2; exit 2; }
    # On 127.0.0.1 only. The password stays in the demo's private files: not
    # on a command line, not in the traffic.
    password=demo-$RANDOM$RANDOM
    (umask 077 && printf '%s\n' "$password" >"$work/password")
    "$simulator" --family pjlink --pjlink-class 2 --lamp on --lamps 2 --erst 010000 \
        --password-file "$work/password" >"$traffic" &
    simulator_pid=$!
    children+=("$simulator_pid")
    if ! await "$simulator_pid" grep -q '^LISTEN ' "$traffic"; then
        echo "run-demo: the projector simulator did not start" >&2
        exit 1
    fi
    port=127.0.0.1:$(sed -n 's/^LISTEN 127\.0\.0\.1 \([0-9]*\) .*/\1/p' "$traffic")
    (umask 077 && printf '[General]\nComPort=%s\nModel=3\nProjector=demo\n\n[Projectors]\n1\\Name=demo\n1\\Model=3\n1\\Port=%s\n1\\Password=%s\nsize=1\n' \
        "$port" "$port" "$password" >"$work/config/Toskeld/Vantrel.conf")
    if [ -n "$display" ]; then
        # Live traffic in the terminal while the user clicks.
        tail -f "$traffic" &
        children+=("$!")
    fi
else
    # The simulator speaks through a link in the demo's private directory, so the
    # stored port name stays the same however the pseudo-terminal is numbered.
    link=$work/ttyProjector
    if [ -n "$display" ]; then
        # Live traffic in the terminal while the user clicks.
        "$simulator" --family "$family" --lamp on --link "$link" &
    else
        "$simulator" --family "$family" --lamp on --link "$link" >"$traffic" &
    fi
    simulator_pid=$!
    children+=("$simulator_pid")
    if ! await "$simulator_pid" test -L "$link"; then
        echo "run-demo: the projector simulator did not start" >&2
        exit 1
    fi

    port=$link
    if [ -n "$via" ]; then
        # A port on 127.0.0.1 that nothing listens on yet.
        tcp_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
        accepter="tcp,127.0.0.1,$tcp_port"
        scheme=tcp
        if [ "$via" = rfc2217 ]; then
            accepter="telnet(rfc2217),$accepter"
            scheme=rfc2217
        fi
        printf '%%YAML 1.1\n---\nconnection: &demo\n    accepter: %s\n    connector: serialdev,%s,9600n81,local\n' \
            "$accepter" "$link" >"$work/ser2net.yaml"
        ser2net -n -c "$work/ser2net.yaml" -P "$work/ser2net.pid" 2>"$work/ser2net.log" &
        children+=("$!")
        hex=$(printf '%04X' "$tcp_port")
        if ! await "$!" grep -q ":$hex 00000000:0000 0A" /proc/net/tcp; then
            echo "run-demo: ser2net did not start:" >&2
            cat "$work/ser2net.log" >&2
            exit 1
        fi
        port=$scheme://127.0.0.1:$tcp_port
    fi

    printf '[General]\nComPort="%s"\nModel=%d\n' "$port" "$model" >"$work/config/Toskeld/Vantrel.conf"
fi
export XDG_CONFIG_HOME=$work/config
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$work/runtime}

if [ -n "$display" ]; then
    echo "Vantrel is talking to a simulated $family projector on $port; close the window to end."
    status=0
    QT_QPA_PLATFORM=xcb "$vantrel" || status=$?
    exit "$status"
fi

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
children+=("$!")
if ! await "$!" test -s "$work/display"; then
    echo "run-demo: Xvfb did not start:" >&2
    cat "$work/xvfb.log" >&2
    exit 1
fi
DISPLAY=:$(cat "$work/display")
export DISPLAY

QT_QPA_PLATFORM=xcb "$vantrel" 2>"$work/vantrel.log" &
vantrel_pid=$!
children+=("$vantrel_pid")
echo "No display: running the session under Xvfb ($DISPLAY) for $seconds s."
for ((tick = 0; tick < seconds * 10; tick++)); do
    if ! alive "$vantrel_pid"; then
        echo "run-demo: Vantrel ended early:" >&2
        cat "$work/vantrel.log" >&2
        cat "$traffic"
        exit 1
    fi
    sleep 0.1
done

# The title may go on with the projector's name.
window=$(xwininfo -root -tree 2>/dev/null | sed -n 's/^ *\(0x[0-9a-f]*\) "Vantrel V 2\.0.*/\1/p' | head -1 || true)
mkdir -p "$(dirname "$screenshot")"
if [ -n "$window" ]; then
    import -window "$window" "$screenshot"
else
    import -window root -trim "$screenshot"
fi

echo "Simulator traffic:"
cat "$traffic"
echo "Screenshot: $screenshot"
