#!/usr/bin/env bash
# Checks the Debian package that tools/build-package.sh makes (and builds it
# when there is none):
#
#   tools/check-package.sh [--screenshot FILE]
#
# - desktop-file-validate and appstreamcli validate the files as shipped;
# - every translation in translations/ is in the package, compiled, and the
#   desktop entry and the AppStream data name the program in German and French;
# - lintian must report no error (its warnings are printed);
# - the package is installed with apt, the installed /usr/bin/vantrel must
#   poll a simulated projector under Xvfb and carry the window class that the
#   desktop entry names, and a launch through the installed desktop entry must
#   start that same program;
# - the package is removed again, which must take its files with it, unless
#   it was installed before the check.
#
# --screenshot FILE saves a picture of the installed program's window.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=tools/processes.sh
. tools/processes.sh

screenshot=""
while [ $# -gt 0 ]; do
    case "$1" in
    --screenshot) [ $# -ge 2 ] || { sed -n 's/^#   //p' "$0" >&2; exit 2; }; screenshot=$2; shift 2 ;;
    *) sed -n 's/^#   //p' "$0" >&2; exit 2 ;;
    esac
done
[ -z "$screenshot" ] || case "$screenshot" in /*) ;; *) screenshot=$PWD/$screenshot ;; esac

tools/install-deps.sh dpkg-dev desktop-file-utils appstream lintian xdotool libgtk-3-bin man-db curl

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
app_id=com.toskeld.vantrel
build=build-package

shopt -s nullglob
debs=("$build"/vantrel_*.deb)
if [ ${#debs[@]} -eq 0 ]; then
    tools/build-package.sh
    debs=("$build"/vantrel_*.deb)
fi
if [ ${#debs[@]} -ne 1 ]; then
    echo "check-package: expected one package in $build/, found: ${debs[*]:-none}" >&2
    exit 1
fi
deb=$PWD/${debs[0]}
echo "== Checking $deb"

work=$(mktemp -d "${TMPDIR:-/tmp}/vantrel-check.XXXXXX")
children=()
installed_by_us=""

# apt-get may have to wait for another installation holding the dpkg lock.
apt_get()
{
    local try
    for try in $(seq 20); do
        DEBIAN_FRONTEND=noninteractive $sudo apt-get "$@" 2>"$work/apt.err" && return 0
        grep -q "lock" "$work/apt.err" || break
        sleep 10
    done
    cat "$work/apt.err" >&2
    return 1
}

cleanup()
{
    stop_children
    if [ -n "$installed_by_us" ] && dpkg-query -W -f='${Status}' vantrel 2>/dev/null | grep -q "install ok installed"; then
        apt_get remove -y -qq vantrel >/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

fail()
{
    echo "check-package: $*" >&2
    exit 1
}


# --- The files as shipped ------------------------------------------------
root=$work/root
dpkg-deb -x "$deb" "$root"
echo "== desktop-file-validate"
desktop-file-validate "$root/usr/share/applications/$app_id.desktop"
echo "== appstreamcli validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/$app_id.metainfo.xml"
# The tree as a whole: the launchable desktop entry and the icons it names.
appstreamcli validate-tree --no-net "$root"
for size in 16 22 24 32 48 64 128 256; do
    [ "$(identify -format '%wx%h' "$root/usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png")" = "${size}x${size}" ] \
        || fail "the ${size}x${size} icon has the wrong size"
done
[ -s "$root/usr/share/icons/hicolor/scalable/apps/$app_id.svg" ] || fail "no scalable icon"
# One compiled translation for each in the tree, where the program looks for it.
for ts in translations/vantrel_*.ts; do
    qm=$root/usr/share/vantrel/translations/$(basename "$ts" .ts).qm
    [ -s "$qm" ] || fail "no ${qm#"$root"} in the package"
    [ "$(head -c 16 "$qm" | od -An -tx1 | tr -d ' \n')" = 3cb86418caef9c95cd211cbf60a1bddd ] \
        || fail "${qm#"$root"} is not a compiled translation"
done
for language in de fr; do
    grep -q "^GenericName\[$language\]=" "$root/usr/share/applications/$app_id.desktop" \
        || fail "the desktop entry has no name in $language"
    grep -q "<summary xml:lang=\"$language\">" "$root/usr/share/metainfo/$app_id.metainfo.xml" \
        || fail "the AppStream data have no summary in $language"
done

echo "== lintian"
lintian --fail-on error "$deb" || fail "lintian reports errors"

# --- The installed program -------------------------------------------------
cmake --build "$build" --target projector-sim -j2 >/dev/null
simulator=$PWD/$build/tools/projector-sim/projector-sim

if ! dpkg-query -W -f='${Status}' vantrel 2>/dev/null | grep -q "install ok installed"; then
    installed_by_us=yes
fi
echo "== apt-get install $deb"
apt_get install -y -qq "$deb" >/dev/null
[ -x /usr/bin/vantrel ] || fail "the package did not install /usr/bin/vantrel"

# -noreset: the server must not restart when gtk-launch, for a moment its
# only client, hangs up just as the program it started connects.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
children+=("$!")
await "$!" test -s "$work/display" || { cat "$work/xvfb.log" >&2; fail "Xvfb did not start"; }
export DISPLAY=:$(cat "$work/display")

# The program's own settings store and the desktop's data directories, so
# neither the user's settings nor a local desktop entry take part.
link=$work/ttyProjector
mkdir -p "$work/config/Toskeld" "$work/data" "$work/runtime"
chmod 700 "$work/runtime"
printf '[General]\nComPort=%s\nModel=0\n' "$link" >"$work/config/Toskeld/Vantrel.conf"
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/runtime
export XDG_DATA_DIRS=/usr/share QT_QPA_PLATFORM=xcb

# Starts a simulated Acer projector with its lamp on; its traffic goes to $1.
start_simulator()
{
    rm -f "$link"
    "$simulator" --family acer --lamp on --link "$link" >"$1" &
    simulator_pid=$!
    children+=("$simulator_pid")
    await "$simulator_pid" test -L "$link" || fail "the projector simulator did not start"
}

polled()
{
    grep -qF 'RX "* 0 Lamp ?"' "$1"
}

# The first top-level window of the program, by its title.
find_window()
{
    window=$(xdotool search --name '^Vantrel V ' 2>/dev/null | head -n 1)
    [ -n "$window" ]
}

echo "== /usr/bin/vantrel against the simulator"
start_simulator "$work/traffic-direct.log"
/usr/bin/vantrel 2>"$work/vantrel.log" &
vantrel_pid=$!
children+=("$vantrel_pid")
if ! await "$vantrel_pid" polled "$work/traffic-direct.log"; then
    cat "$work/vantrel.log" "$work/traffic-direct.log" >&2
    fail "the installed program did not poll the projector"
fi
echo "polled: $(grep -m1 -F 'RX "* 0 Lamp ?"' "$work/traffic-direct.log")"

await "$vantrel_pid" find_window || fail "the installed program shows no window"
wm_class=$(xprop -id "$window" WM_CLASS | sed -n 's/^WM_CLASS(STRING) = "\([^"]*\)", "\([^"]*\)"$/\2/p')
startup_class=$(sed -n 's/^StartupWMClass=//p' "/usr/share/applications/$app_id.desktop")
echo "WM_CLASS class: $wm_class; StartupWMClass: $startup_class"
[ -n "$wm_class" ] && [ "$wm_class" = "$startup_class" ] \
    || fail "the window's class does not match the desktop entry's StartupWMClass"

if [ -n "$screenshot" ]; then
    # Let a few poll cycles settle the window's colours first.
    for _ in $(seq 40); do alive "$vantrel_pid" && sleep 0.1; done
    mkdir -p "$(dirname "$screenshot")"
    import -window "$window" "$screenshot"
    echo "screenshot: $screenshot"
fi
kill "$vantrel_pid" "$simulator_pid"
wait "$vantrel_pid" "$simulator_pid" 2>/dev/null || true

echo "== gtk-launch $app_id"
start_simulator "$work/traffic-launched.log"
gtk-launch "$app_id" >"$work/launch.log" 2>&1 || { cat "$work/launch.log" >&2; fail "gtk-launch failed"; }
if ! await "$simulator_pid" find_window; then
    alive "$simulator_pid" || echo "(the simulator ended)" >&2
    cat "$work/launch.log" "$work/traffic-launched.log" >&2
    fail "the desktop entry started no window"
fi
launched_pid=$(xdotool getwindowpid "$window")
children+=("$launched_pid")
launched_exe=$(readlink "/proc/$launched_pid/exe")
echo "the desktop entry started $launched_exe (pid $launched_pid)"
[ "$launched_exe" = /usr/bin/vantrel ] || fail "the desktop entry did not start /usr/bin/vantrel"
await "$launched_pid" polled "$work/traffic-launched.log" \
    || fail "the program started from the desktop entry did not poll the projector"
kill "$launched_pid"
for _ in $(seq 50); do alive "$launched_pid" && sleep 0.1; done

echo "== /usr/bin/vantrelctl against the simulator"
start_simulator "$work/traffic-ctl.log"
status=$(/usr/bin/vantrelctl --port "$link" --family acer status) \
    || fail "the installed vantrelctl did not read the lamp (exit $?)"
[ "$status" = "lamp on" ] || fail "the installed vantrelctl said \"$status\", not \"lamp on\""
echo "vantrelctl status: $status"

echo "== /usr/bin/vantrelctl exporter"
/usr/bin/vantrelctl exporter --listen 127.0.0.1:0 >"$work/exporter.out" &
exporter_pid=$!
children+=("$exporter_pid")
await "$exporter_pid" grep -q '^vantrelctl: serving' "$work/exporter.out" \
    || fail "the installed exporter did not start"
exporter_port=$(sed -n 's|^vantrelctl: serving http://127.0.0.1:\([0-9]*\)/.*|\1|p' "$work/exporter.out")
exporter_metrics=$(curl -fsS "http://127.0.0.1:$exporter_port/metrics") \
    || fail "the installed exporter did not answer"
grep -q '^vantrel_exporter_probes_total' <<<"$exporter_metrics" \
    || fail "the installed exporter did not serve its metrics"
kill -TERM "$exporter_pid"
wait "$exporter_pid" || fail "the installed exporter did not end cleanly on SIGTERM"
echo "exporter: served its metrics on 127.0.0.1:$exporter_port, ended on SIGTERM"

echo "== the exporter's unit and rules"
unit=/usr/lib/systemd/user/vantrel-exporter.service
[ -f "$unit" ] || fail "the package did not install $unit"
systemd-analyze verify --user "$unit" || fail "systemd-analyze verify found faults in $unit"
rules=/usr/share/vantrel/prometheus
promtool check rules "$rules/vantrel-rules.yml" || fail "promtool rejects the installed rules"
(cd "$rules" && promtool test rules vantrel-rules-test.yml) || fail "the installed rules fail their tests"

# --- Removal ---------------------------------------------------------------
if [ -n "$installed_by_us" ]; then
    echo "== apt-get remove vantrel"
    shipped=()
    while IFS= read -r file; do
        [ -d "$file" ] || shipped+=("$file")
    done < <(dpkg -L vantrel)
    apt_get remove -y -qq vantrel >/dev/null
    for file in "${shipped[@]}"; do
        [ ! -e "$file" ] || fail "$file is still there after removal"
    done
    echo "removed: none of its ${#shipped[@]} files is left"
fi
echo "check-package: all checks passed"
