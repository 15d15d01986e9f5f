#!/usr/bin/env bash
# Configures and builds into build/ (programs in build/bin/) with the dev
# preset: the programs, the tests and the benchmarks.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake --preset dev >/dev/null
cmake --build --preset dev
