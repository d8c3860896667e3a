#!/usr/bin/env bash
# Brings every package Velmo needs onto a Debian machine. Idempotent and quiet
# when everything is already there.
set -euo pipefail
packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-translations-l10n libqcustomplot-dev libjpeg-dev
  libgtest-dev libgmock-dev libbenchmark-dev libmodbus-dev libfftw3-dev
  fonts-wqy-microhei xvfb xauth qt6-gtk-platformtheme
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo_cmd=""
[ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo_cmd apt-get update -qq
$sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
