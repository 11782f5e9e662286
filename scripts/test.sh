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

# Every corpus picture and every hand-made hostile file once more through the loader, the
# row-by-row and run-length readers and the metafile player, under AddressSanitizer and
# UndefinedBehaviorSanitizer: built with GCC, and with clang, whose float-cast-overflow check
# finds what GCC's does not.
for cxx in g++ clang++; do
  dir=build-asan
  [ "$cxx" = clang++ ] && dir=build-asan-clang
  CXX=$cxx cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDUVIX_SANITIZE=ON \
    -DDUVIX_BUILD_BENCH=OFF -DDUVIX_WERROR=ON
  cmake --build "$dir" -j"$jobs" --target imaging_loader_corpus_test imaging_wmf_corpus_test \
    imaging_hostile_files_test imaging_line_readers_test imaging_bmp_run_length_test
  (cd "$dir" && ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure -j"$jobs" -R 'LoaderCorpus|WmfCorpus|Hostile|LineReaders|AreaReducer|GifLzw|BmpRunLength')
done

# The worker that prepares the viewer's copies, racing loads, changed files and double-clicks on
# the window's thread, under ThreadSanitizer (clang); any report fails the run.
dir=build-tsan
CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDUVIX_TSAN=ON \
  -DDUVIX_BUILD_BENCH=OFF -DDUVIX_WERROR=ON
tsan_tests=(imaging_recent_pictures_test imaging_loader_unit_test imaging_line_readers_test
  app_viewer_route_test)
cmake --build "$dir" -j"$jobs" --target "${tsan_tests[@]}"
for t in "${tsan_tests[@]}"; do
  QT_QPA_PLATFORM=offscreen TSAN_OPTIONS="halt_on_error=1 suppressions=$PWD/tests/tsan.supp" \
    "$dir/tests/$t"
done
