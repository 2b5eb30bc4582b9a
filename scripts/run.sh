#!/usr/bin/env bash
# Installs what is missing, builds Quillon and runs its main job.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build -G Ninja
cmake --build build -j "$(nproc)"
./build/cli/quillon-cli --help
