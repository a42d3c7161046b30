#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, when any is missing.
set -euo pipefail

PACKAGES=(g++ cmake ninja-build qt6-base-dev qt6-serialport-dev libgl-dev
          fonts-liberation fonts-arphic-uming xvfb xauth
          dpkg-dev desktop-file-utils lintian appstream   # the package and its test
          clang libclang-rt-14-dev               # sanitizer and fuzz builds
          "$@")

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
