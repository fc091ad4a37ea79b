#!/usr/bin/env bash
# Installs the Debian 12 packages Quorvane needs, when any is missing. Idempotent.
set -euo pipefail
packages=(cmake ninja-build g++ clang libclang-rt-14-dev llvm libgtest-dev libfmt-dev
          libjpeg62-turbo-dev libpng-dev qt6-base-dev libgl-dev libxkbcommon-dev
          lame python3-mutagen libtag1-dev mpg123 xvfb xauth iso-codes libcli11-dev nettle-dev
          zlib1g-dev pkg-config ffmpeg imagemagick libxml2-utils xdotool)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}" >&2
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
fi
