#!/usr/bin/env bash
# Installs, on Debian 12, whatever the build and the tests need and is missing.
set -euo pipefail

packages=(build-essential cmake pkg-config libgtest-dev
          qt6-base-dev qt6-serialport-dev libgl-dev
          qt6-tools-dev qt6-l10n-tools qt6-translations-l10n
          fonts-noto-cjk xvfb xauth
          clang libclang-rt-14-dev sigrok-cli
          ser2net mosquitto mosquitto-clients libmosquitto-dev gtkwave qt6ct
          libmodbus-dev mbpoll python3-pymodbus)
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}" >&2
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
