#!/usr/bin/env bash
# Installs what is missing, builds Quillon and runs its main job on the
# sandbox market: one store of each list-page layout is read into an item
# list, and every item is copied into a Taobao Assistant data file with its
# picture folder, all under demo/.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build -G Ninja
cmake --build build -j "$(nproc)"

rm -rf demo
./build/cli/quillon-cli --log demo.log demo --dir demo
mv demo.log demo/log.txt
echo "log (GBK, as the log box holds it): demo/log.txt"
