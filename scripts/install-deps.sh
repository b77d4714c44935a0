#!/usr/bin/env bash
# Installs what building, testing, running and packaging the editor need on
# Debian 12 (librsvg2-bin renders the icon; desktop-file-utils, appstream,
# man-db and bsdextrautils check the install tree; qt6-translations-l10n gives
# Qt's own dialogs their Chinese texts; ccache and mold make builds and
# rebuilds quicker and are used when present; the daemon uses Boost.Beast,
# nlohmann-json and the Paho C++ MQTT client, its tests a mosquitto broker;
# chromium, node and npm run the web page's browser tests; the history speaks
# to SQLite and PostgreSQL through Qt SQL's drivers, and its tests start a
# PostgreSQL server of their own).
# Safe to run again: it installs only what is missing. With --fuzz also what
# the fuzz targets need.
set -euo pipefail

PACKAGES=(
    build-essential cmake ninja-build pkg-config git ccache mold
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    libhidapi-dev libudev-dev libasio-dev libboost-dev nlohmann-json3-dev
    qt6-base-dev qt6-base-dev-tools libgl1-mesa-dev
    libqt6sql6-sqlite libqt6sql6-psql postgresql
    xvfb xauth x11-utils fonts-wqy-microhei qt6-translations-l10n
    librsvg2-bin
    libpaho-mqttpp-dev libpaho-mqtt-dev libssl-dev nlohmann-json3-dev mosquitto
    desktop-file-utils appstream man-db groff-base bsdextrautils
    chromium
)

# The web page's tests need node and npm; a node installed another way (with
# its own npm) is kept.
if ! command -v node >/dev/null; then PACKAGES+=(nodejs); fi
if ! command -v npm >/dev/null; then PACKAGES+=(npm); fi

# scripts/fuzz.sh needs clang and its libFuzzer runtime as well.
if [ "${1:-}" = "--fuzz" ]; then
    PACKAGES+=(clang libclang-rt-dev)
fi

missing=()
for package in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
