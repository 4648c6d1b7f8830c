#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the console need.
# Quiet when everything is there already.
set -euo pipefail
PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-multimedia-dev qt6-qpa-plugins libgl-dev libssl-dev openssl libcurl4-openssl-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev nlohmann-json3-dev
  ansible ansible-core ansible-lint openssh-server openssh-client
  xvfb xauth x11-utils xdotool imagemagick trayer
  fonts-dejavu-core xdg-utils
  dpkg-dev file desktop-file-utils
  strace pulseaudio pulseaudio-utils sox systemd
  prometheus
)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  SUDO=""
  [[ $(id -u) -ne 0 ]] && SUDO="sudo"
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
