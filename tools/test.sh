#!/usr/bin/env bash
# Builds everything and runs every test: once normally, once more with
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/build.sh
(cd build && ctest --output-on-failure -j"$(nproc)")

cmake -S . -B build-asan -G Ninja -DKLANGMAPPE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build-asan
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 KLANGMAPPE_CRASH_ROUNDS=5 \
  ctest --output-on-failure -j"$(nproc)" -L 'tags|core|cli|gui|crash')

# Each fuzz target for a minute on its committed corpus (clang, ASan, UBSan).
tools/fuzz --all 60

# The Debian package: built, checked, installed, run and removed.
tools/package-test.sh
