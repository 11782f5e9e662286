#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test; a missing tool fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh test
jobs=$(nproc)

cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDUVIX_WERROR=ON
cmake --build build-test -j"$jobs"
# End-to-end tests start their own Xvfb, session bus and openbox.
(cd build-test && ctest --output-on-failure -j"$jobs" --timeout 600)
