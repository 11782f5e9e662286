#!/usr/bin/env bash
# Installs what is missing, builds Duvix and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh run
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DDUVIX_BUILD_TESTS=OFF -DDUVIX_BUILD_BENCH=OFF
cmake --build build-release --target duvix
exec build-release/duvix
