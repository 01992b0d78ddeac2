#!/usr/bin/env bash
# Configures and builds one tree. Usage: scripts/build.sh [build-dir] [extra cmake args...]
# The arguments of the last configure are kept in the build folder; other arguments configure it afresh (a
# fresh cache, so an option left out goes back to its default), the same ones only build.
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:-build}"; shift || true
stamp="$dir/.tilvane-configure-args"
wanted="$(printf '%s\n' -G Ninja "$@")"
if [ ! -f "$dir/build.ninja" ] || [ ! -f "$stamp" ] || [ "$(cat "$stamp")" != "$wanted" ]; then
  rm -f "$stamp"
  cmake --fresh -S . -B "$dir" -G Ninja "$@" >/dev/null
  printf '%s\n' "$wanted" >"$stamp"
fi
cmake --build "$dir" --parallel "$(nproc)"
