#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run the
# demo, skipping what is already installed. Safe to run again. Needs root (or
# sudo) only when something is missing.
set -euo pipefail

packages=(
  build-essential g++ cmake ninja-build pkg-config git
  clang-14 libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libssl-dev openssl libplist-dev libplist-utils zlib1g-dev
  libgtest-dev libgmock-dev libcpp-httplib-dev
  bubblewrap iproute2
  xvfb xauth x11-utils xdotool imagemagick
  fonts-dejavu-core fonts-droid-fallback fonts-nanum
  curl ca-certificates python3 time hyperfine valgrind
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all ${#packages[@]} packages present"
  exit 0
fi

echo "setup: installing ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
