#!/usr/bin/env bash
# Installs the Debian packages that Quillon builds with, when any is missing.
# Safe to run again; runs apt-get as root, or through sudo otherwise.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libcurl4-openssl-dev libpcre2-dev libssl-dev
  libgtest-dev libgmock-dev libcpp-httplib-dev libcli11-dev zlib1g-dev libjpeg62-turbo-dev
  qt6-base-dev libxlsxwriter-dev unzip
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

as_root=()
if [[ $(id -u) -ne 0 ]]; then
  as_root=(sudo)
fi
echo "setup: installing ${missing[*]}"
"${as_root[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
