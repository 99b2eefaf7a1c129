#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need.
# Safe to run again: only missing packages are installed.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache clang libclang-rt-14-dev pkg-config
  libssl-dev zlib1g-dev libtinyxml2-dev libarchive-dev libunarr-dev libdeflate-dev libisal-dev
  libarchive-tools
  libgtest-dev libgmock-dev libbenchmark-dev
  libcurl4-openssl-dev
  nginx curl libarchive-tools time bc
  libpng-dev libfreetype-dev libfontconfig-dev libx11-dev libxext-dev
  fonts-liberation2 fonts-dejavu-core
  xvfb xdotool
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update
  $SUDO apt-get install -y "${missing[@]}"
fi
