#!/usr/bin/env bash
# A desktop to run Tilvane on when the machine has no X display: the test desktop (Xvfb, openbox with 4
# desktops, trayer as the tray) with a few terminal windows to arrange.
#
#   scripts/test-desktop.sh run -- COMMAND [ARGS...]   start it, run COMMAND on it, stop it when COMMAND ends
#   scripts/test-desktop.sh start                      start it; prints "export DISPLAY=:N" for eval
#   scripts/test-desktop.sh stop                       stop what start started
#
# The desktop's state (process ids, logs) lives in $TILVANE_TEST_DESKTOP_DIR, by default
# ${XDG_RUNTIME_DIR:-/tmp}/tilvane-desktop-$UID. Only processes started here are ever stopped. Messages go to
# stderr; "start" prints nothing else on stdout, so `eval "$(scripts/test-desktop.sh start)"` works.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
desktop="$root/tests/support/x11/test-desktop.sh"
state="${TILVANE_TEST_DESKTOP_DIR:-${XDG_RUNTIME_DIR:-/tmp}/tilvane-desktop-$(id -u)}"

say() { echo "test-desktop: $*" >&2; }

# The terminals to arrange: instance name, title, geometry (columns x rows + x + y).
CLIENTS=(
  "notes|Notes|80x24+40+60"
  "build|Build output|100x30+420+200"
  "shell|Shell|90x20+900+500"
)

start_clients() {
  local display="$1" entry name title geometry i=0
  for entry in "${CLIENTS[@]}"; do
    IFS='|' read -r name title geometry <<<"$entry"
    DISPLAY="$display" xterm -name "$name" -T "$title" -geometry "$geometry" </dev/null >"$state/xterm-$i.log" 2>&1 &
    echo $! >"$state/xterm-$i.pid"
    i=$((i + 1))
  done
}

stop_clients() {
  local file pid comm
  for file in "$state"/xterm-*.pid; do
    [ -f "$file" ] || continue
    pid="$(cat "$file")"
    comm="$(cat "/proc/$pid/comm" 2>/dev/null || true)"
    if [ "$comm" = "xterm" ]; then kill -TERM "$pid" 2>/dev/null || true; fi
    rm -f "$file"
  done
}

cmd_start() {
  mkdir -p "$state"
  stop_clients
  local line display
  line="$(bash "$desktop" start "$state")" || { say "the test desktop did not start (logs in $state)"; exit 1; }
  display="${line#DISPLAY=}"
  start_clients "$display"
  say "started a test desktop on $display (Xvfb 1920x1080, openbox with 4 desktops, trayer) with ${#CLIENTS[@]} terminals"
  say "look at it:  import -display $display -window root /tmp/tilvane-desktop.png"
  say "stop it:     bash scripts/test-desktop.sh stop"
  echo "export DISPLAY=$display"
}

cmd_stop() {
  stop_clients
  bash "$desktop" stop "$state"
}

cmd_run() {
  [ $# -gt 0 ] || { say "run needs a command after --"; exit 2; }
  local exports
  exports="$(cmd_start)"
  eval "$exports"
  trap 'cmd_stop' EXIT
  trap 'exit 130' INT TERM
  set +e
  "$@"
  local status=$?
  set -e
  return "$status"
}

action="${1:-}"
shift || true
case "$action" in
  start) cmd_start ;;
  stop) cmd_stop ;;
  run)
    [ "${1:-}" = "--" ] && shift
    cmd_run "$@"
    ;;
  *)
    say "usage: test-desktop.sh run -- COMMAND... | start | stop"
    exit 2
    ;;
esac
