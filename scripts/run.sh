#!/usr/bin/env bash
# Installs what is missing, builds, and starts tilvane on the user's X display. Without one it starts the test
# desktop (Xvfb, openbox, a tray, a few terminals) and runs there; it prints how to take a screenshot.
# Arguments are passed to tilvane. Stop it with Ctrl+C: tilvane writes what is still pending and ends, then the
# test desktop it ran on (whose programs Ctrl+C does not reach) is stopped.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build -DTILVANE_BUILD_TESTS=OFF -DTILVANE_BUILD_BENCH=OFF
if [ -z "${DISPLAY:-}" ] && [ "${TILVANE_DESKTOP:-}" != "sim" ]; then
  exec bash scripts/test-desktop.sh run -- build/bin/tilvane "$@"
fi
exec build/bin/tilvane "$@"
