#!/usr/bin/env bash
# Installs what is missing, builds Quillon and runs its main job on the
# sandbox market: every sandbox item is copied into a Taobao Assistant data
# file with its picture folder under demo/.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build -G Ninja
cmake --build build -j "$(nproc)"

mkdir -p demo
./build/sim/quillon-sim --write-list demo/list.txt
./build/cli/quillon-cli --sandbox --log demo/log.txt copy --list demo/list.txt --out demo/items.csv
echo "data file: demo/items.csv, pictures: demo/items/, log (GBK): demo/log.txt"
