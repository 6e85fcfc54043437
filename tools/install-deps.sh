#!/usr/bin/env bash
# Installs the Debian 12 packages Vantrel needs, skipping the ones already
# there, each without its recommends:
#   tools/install-deps.sh [PACKAGE...]          to build, test and run the demo
#   tools/install-deps.sh --build [PACKAGE...]  to build only
# Any PACKAGE named is installed too.
#
# The tests run Prometheus's promtool and ser2net themselves; the packages
# that bring them also bring system services, which are neither started nor
# left enabled here when this script installed them.
set -euo pipefail

build_packages=(cmake make g++ pkg-config qtbase5-dev qtbase5-dev-tools libqt5serialport5-dev
                qttools5-dev qttools5-dev-tools libcpp-httplib-dev)
test_packages=(libqt5svg5-dev qttranslations5-l10n xvfb xauth x11-utils imagemagick ser2net
               python3-serial python3-prometheus-client prometheus dbus-daemon)
# Packages above whose system service no one asked for.
services=(prometheus ser2net)

packages=("${build_packages[@]}")
if [ "${1:-}" = --build ]; then
    shift
else
    packages+=("${test_packages[@]}")
fi
packages+=("$@")

installed()
{
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

missing=()
for package in "${packages[@]}"; do
    installed "$package" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

quiet=()
for service in "${services[@]}"; do
    [[ " ${missing[*]} " == *" $service "* ]] && quiet+=("$service")
done
# While installing, services are not started (invoke-rc.d asks policy-rc.d);
# one the system already has is left as it is.
own_policy=""
if [ ${#quiet[@]} -gt 0 ] && [ ! -e /usr/sbin/policy-rc.d ]; then
    printf '#!/bin/sh\nexit 101\n' | $sudo tee /usr/sbin/policy-rc.d >/dev/null
    $sudo chmod 755 /usr/sbin/policy-rc.d
    own_policy=yes
    trap '$sudo rm -f /usr/sbin/policy-rc.d' EXIT
fi

echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

# Nor enabled for the next boot; deb-systemd-helper remembers the choice
# across upgrades. On a running systemd, one that started anyway is stopped.
for service in "${quiet[@]}"; do
    installed "$service" || continue
    $sudo deb-systemd-helper disable "$service.service" >/dev/null 2>&1 || true
    if [ -d /run/systemd/system ]; then
        $sudo systemctl stop "$service.service" >/dev/null 2>&1 || true
    fi
done
if [ -n "$own_policy" ]; then
    $sudo rm -f /usr/sbin/policy-rc.d
    trap - EXIT
fi
