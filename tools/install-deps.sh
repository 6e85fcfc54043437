#!/usr/bin/env bash
# Installs the Debian 12 packages Vantrel needs to build, test and demo,
# skipping the ones already there.
set -euo pipefail

packages=(cmake make g++ pkg-config qtbase5-dev qtbase5-dev-tools libqt5serialport5-dev libqt5svg5-dev
          qttools5-dev qttools5-dev-tools qttranslations5-l10n
          xvfb xauth x11-utils imagemagick ser2net python3-serial python3-prometheus-client
          libcpp-httplib-dev prometheus dbus-daemon "$@")

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" \
        || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
