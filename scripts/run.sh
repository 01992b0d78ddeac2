#!/usr/bin/env bash
# Installs what is missing, builds, and starts tilvane. Arguments are passed to tilvane.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build -DTILVANE_BUILD_TESTS=OFF -DTILVANE_BUILD_BENCH=OFF
exec build/bin/tilvane "$@"
