#!/usr/bin/env bash
# Installs what is missing, builds, and starts tilvane on the user's X display. Without one it starts the test
# desktop (Xvfb, openbox, a tray, a few terminals) and runs there; it prints how to take a screenshot.
# It registers the build as the user's opener of tilvane:// links. Arguments are passed to tilvane. Stop it with
# Ctrl+C: tilvane writes what is still pending and ends, then the test desktop it ran on (whose programs Ctrl+C
# does not reach) is stopped.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build -DTILVANE_BUILD_TESTS=OFF -DTILVANE_BUILD_BENCH=OFF

applications="${XDG_DATA_HOME:-$HOME/.local/share}/applications"
mkdir -p "$applications"
# Quoted only where the path needs it: the generic xdg-open cannot run a quoted program path.
program="$PWD/build/bin/tilvane"
case "$program" in *[[:space:]\"\'\\\$\`]*) program="\"$program\"" ;; esac
sed "s|^Exec=tilvane |Exec=$program |" resources/tilvane.desktop >"$applications/tilvane.desktop"
if command -v xdg-mime >/dev/null; then
  xdg-mime default tilvane.desktop x-scheme-handler/tilvane || echo "run.sh: xdg-mime could not register tilvane://" >&2
fi

. scripts/private-runtime-dir.sh

if [ -z "${DISPLAY:-}" ] && [ "${TILVANE_DESKTOP:-}" != "sim" ]; then
  exec bash scripts/test-desktop.sh run -- build/bin/tilvane "$@"
fi
exec build/bin/tilvane "$@"
