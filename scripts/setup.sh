#!/usr/bin/env bash
# Installs what building and testing VelkorRamp needs on Debian 12, and nothing
# when it is all there already. Safe to run any number of times.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libopenimageio-dev openimageio-tools
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine64
  python3
  dpkg-dev file
  clang-format
  slurm-wlm munge
  nlohmann-json3-dev
  libwebp-dev imagemagick webp
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: everything needed is installed"
  exit 0
fi

echo "setup: installing ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
