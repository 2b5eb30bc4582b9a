#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
# QUILLON_WERROR=ON turns warnings into errors; BUILD_DIR picks the folder.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DQUILLON_WERROR="${QUILLON_WERROR:-OFF}" ${QUILLON_CMAKE_ARGS:-}
cmake --build "$build_dir" -j "$(nproc)"
ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)"
