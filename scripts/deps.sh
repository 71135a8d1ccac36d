#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing Brindle
# need, and only those that are missing. Run as root (or through sudo).
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libpolkit-gobject-1-dev libpolkit-agent-1-dev
  # running on a desktop
  qt6-qpa-plugins fonts-dejavu-core
  # headless tests and the README screenshot
  xvfb xauth
  # privileged tests: system bus, polkitd, pkexec
  dbus-daemon libglib2.0-bin polkitd pkexec
  # account lists served from files, for tests and the benchmark
  libnss-wrapper
  # desktop files, AppStream metainfo and the Debian package, checked in CI
  desktop-file-utils appstream dpkg-dev
  # benchmarks: peak memory
  time
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  if [ "$(id -u)" -ne 0 ]; then
    echo "brindle: these packages are missing: ${missing[*]}" >&2
    echo "brindle: run this command as root or with sudo to install them." >&2
    exit 1
  fi
  echo "brindle: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
