#!/usr/bin/env bash
# Builds Klangmappe and starts it: on the folder (or file) given, else on the
# folder it showed last (the home folder at the first start).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/build.sh >/dev/null
exec build/bin/klangmappe "$@"
