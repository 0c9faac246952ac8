#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Vombrel need,
# but only those that are missing, so that a second run costs nothing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libsdl2-dev libsdl2-ttf-dev
  libgtest-dev libbenchmark-dev
  xvfb xdotool x11-utils imagemagick libx11-dev
  desktop-file-utils appstream lintian dpkg-dev file
  emscripten chromium
  g++-mingw-w64-x86-64-posix wine wine64 fonts-wine python3
  # tools/make_assets.py cuts the game's fonts out of fonts-liberation2 with fontTools
  python3-fonttools fonts-liberation2
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing missing packages: ${missing[*]}"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
