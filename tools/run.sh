#!/usr/bin/env bash
# Builds Klangmappe and shows what it reads in the given MP3 files.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/build.sh >/dev/null
if [ $# -eq 0 ]; then
  exec build/bin/klangmappe-cli --help
fi
exec build/bin/klangmappe-cli info "$@"
