#!/usr/bin/env bash
# Builds everything and runs every test: once normally, once more with
# AddressSanitizer and UndefinedBehaviorSanitizer (the dev and asan presets).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/build.sh
ctest --preset dev -j"$(nproc)"

cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan -j"$(nproc)"

# Each fuzz target for a minute on its committed corpus (clang, ASan, UBSan).
tools/fuzz --all 60

# The Debian package: built, checked, installed, run and removed.
tools/package-test.sh
