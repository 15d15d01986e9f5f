#!/usr/bin/env bash
# Configures and builds into build/ (programs in build/bin/).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build
