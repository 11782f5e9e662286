#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test; a missing tool fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh test
jobs=$(nproc)
bash scripts/check-format.sh

cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDUVIX_WERROR=ON
cmake --build build-test -j"$jobs"
# End-to-end tests start their own Xvfb, session bus and openbox.
(cd build-test && ctest --output-on-failure -j"$jobs" --timeout 600)

# Every corpus picture once more through the loader and the metafile player, under
# AddressSanitizer and UndefinedBehaviorSanitizer.
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDUVIX_SANITIZE=ON \
  -DDUVIX_BUILD_BENCH=OFF -DDUVIX_WERROR=ON
cmake --build build-asan -j"$jobs" --target imaging_loader_corpus_test imaging_wmf_corpus_test \
  imaging_line_readers_test
(cd build-asan && ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j"$jobs" -R 'LoaderCorpus|WmfCorpus|LineReaders|AreaReducer')
