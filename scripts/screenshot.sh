#!/usr/bin/env bash
# Retakes docs/screenshot.png: the collect page half-way through a sandbox
# run, drawn by a real X server (Xvfb) with a Chinese font.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
missing=()
for package in xvfb xauth fonts-wqy-microhei; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if ((${#missing[@]} > 0)); then
  as_root=()
  [[ $(id -u) -ne 0 ]] && as_root=(sudo)
  DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S . -B build -G Ninja
cmake --build build -j "$(nproc)" --target quillon-screenshot
mkdir -p docs
xvfb-run -a -s "-screen 0 1280x800x24" ./build/gui/quillon-screenshot "$PWD/docs/screenshot.png"
