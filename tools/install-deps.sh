#!/usr/bin/env bash
# Installs every package that building and testing Marrowgate needs on Debian 12.
# Runs apt-get as root, through sudo when started by another user.
set -euo pipefail
packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libgtest-dev libgmock-dev googletest nlohmann-json3-dev libcli11-dev
  xvfb xauth time fonts-dejavu-core
  clang libclang-rt-14-dev libmimalloc-dev
  dpkg-dev file help2man
)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
"${as_root[@]}" apt-get update
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
