#!/usr/bin/env bash
# Installs every Debian package Tilvane needs to build, test and run.
# Idempotent: when everything is present it only checks and returns.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config libgtest-dev libgmock-dev libbenchmark-dev qt6-base-dev qt6-svg-dev
  libxcb1-dev libxcb-ewmh-dev libxcb-icccm4-dev libxcb-randr0-dev libxcb-keysyms1-dev libxcb-xtest0-dev
  libxcb-res0-dev libxcb-xfixes0-dev libsqlite3-dev libspdlog-dev libfmt-dev nlohmann-json3-dev libplist-dev
  libcurl4-openssl-dev libssl-dev openssl ca-certificates zlib1g-dev libunwind-dev
  xvfb openbox icewm xfwm4 fluxbox xcompmgr dbus-daemon trayer xterm xdotool wmctrl x11-utils x11-xserver-utils imagemagick
  fonts-dejavu-core xdg-utils libxml2-utils
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
