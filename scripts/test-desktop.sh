#!/usr/bin/env bash
# A desktop to run Tilvane on when the machine has no X display: the test desktop (Xvfb, a window manager with
# 4 desktops, trayer as the tray) with a few terminal windows to arrange.
#
#   scripts/test-desktop.sh run [--wm WM] -- COMMAND [ARGS...]
#                                                      start one, run COMMAND on it, stop it when COMMAND ends
#   scripts/test-desktop.sh start [--wm WM]            start one more; prints "export DISPLAY=:N" for eval
#   scripts/test-desktop.sh stop [:N]                  stop the one on :N (default: $DISPLAY)
#
# WM: openbox (the default), icewm, xfwm4, xfwm4-compositor (xfwm4 with its compositor on) or fluxbox; each runs
# in a session of its own and is stopped with every helper it started.
#
# Each desktop keeps its state (process ids, logs) in a folder of its own, reached as $BASE/N for display :N (a
# link: the folder keeps the name it was started under, which the window manager's settings daemon writes to),
# where BASE is $TILVANE_TEST_DESKTOP_DIR or ${XDG_RUNTIME_DIR:-/tmp}/tilvane-desktop-$UID; starting another never touches
# a running one. Its programs run in a session of their own, so Ctrl+C on a command run on it reaches the
# command alone. Only processes started here are ever stopped. Messages go to stderr; "start" prints nothing
# else on stdout, so `eval "$(scripts/test-desktop.sh start)"` works.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
desktop="$root/tests/support/x11/test-desktop.sh"
base="${TILVANE_TEST_DESKTOP_DIR:-${XDG_RUNTIME_DIR:-/tmp}/tilvane-desktop-$(id -u)}"

say() { echo "test-desktop: $*" >&2; }

# The terminals to arrange: instance name, title, geometry (columns x rows + x + y).
CLIENTS=(
  "notes|Notes|80x24+40+60"
  "build|Build output|100x30+420+200"
  "shell|Shell|90x20+900+500"
)

start_clients() {
  local state="$1" display="$2" entry name title geometry i=0
  for entry in "${CLIENTS[@]}"; do
    IFS='|' read -r name title geometry <<<"$entry"
    DISPLAY="$display" setsid xterm -name "$name" -T "$title" -geometry "$geometry" </dev/null \
      >"$state/xterm-$i.log" 2>&1 &
    echo $! >"$state/xterm-$i.pid"
    i=$((i + 1))
  done
}

stop_clients() {
  local state="$1" file pid comm
  for file in "$state"/xterm-*.pid; do
    [ -f "$file" ] || continue
    pid="$(cat "$file")"
    comm="$(cat "/proc/$pid/comm" 2>/dev/null || true)"
    if [ "$comm" = "xterm" ]; then kill -TERM "$pid" 2>/dev/null || true; fi
    rm -f "$file"
  done
}

# Removes $BASE/N: the link and the folder it names (or a folder of that name, as older runs left).
remove_state() {
  local link="$1"
  if [ -L "$link" ]; then
    local target; target="$(readlink -f "$link")"
    rm -f "$link"
    case "$target" in "$base"/desktop.*) rm -rf "$target" ;; esac
  else
    rm -rf "$link"
  fi
}

# Starts a desktop in a new folder, then links the display the server took to it.
cmd_start() {
  local wm=openbox
  if [ "${1:-}" = "--wm" ]; then
    [ -n "${2:-}" ] || { say "--wm needs a window manager"; exit 2; }
    wm="$2"
  fi
  mkdir -p "$base"
  local state line display number
  state="$(mktemp -d "$base/desktop.XXXXXX")"
  line="$(bash "$desktop" start "$state" --wm "$wm")" || { say "the test desktop did not start (logs in $state)"; exit 1; }
  display="${line#DISPLAY=}"
  number="${display#:}"
  # The server took a free display, so a folder of that number is left from a desktop that is gone.
  remove_state "${base:?}/$number"
  ln -s "$(basename "$state")" "$base/$number"
  start_clients "$base/$number" "$display"
  say "started a test desktop on $display (Xvfb 1920x1080, $wm with 4 desktops, trayer) with ${#CLIENTS[@]} terminals"
  say "look at it:  import -display $display -window root /tmp/tilvane-desktop.png"
  say "stop it:     bash scripts/test-desktop.sh stop $display"
  echo "export DISPLAY=$display"
}

cmd_stop() {
  local display="${1:-${DISPLAY:-}}"
  local number="${display#:}"
  number="${number%%.*}"
  if ! [[ "$number" =~ ^[0-9]+$ ]] || [ ! -d "$base/$number" ]; then
    local running
    running="$(cd "$base" 2>/dev/null && ls -d [0-9]* 2>/dev/null | sed 's/^/:/' | tr '\n' ' ' || true)"
    say "no test desktop of ours on \"$display\"; ours: ${running:-none}"
    exit 1
  fi
  stop_clients "$base/$number"
  bash "$desktop" stop "$base/$number"
  remove_state "${base:?}/$number"
}

cmd_run() {
  local -a wm=()
  if [ "${1:-}" = "--wm" ]; then
    wm=(--wm "${2:-}")
    shift 2 || { say "--wm needs a window manager"; exit 2; }
  fi
  [ "${1:-}" = "--" ] && shift
  [ $# -gt 0 ] || { say "run needs a command after --"; exit 2; }
  local exports child="" status
  exports="$(cmd_start "${wm[@]}")"
  eval "$exports"
  trap 'cmd_stop "$DISPLAY"' EXIT
  # Ctrl+C reaches the command too (the desktop is in a session of its own): let it end the orderly way, then
  # stop the desktop. A TERM for this script is passed on to the command.
  trap ':' INT
  trap 'kill -TERM "$child" 2>/dev/null || true' TERM
  (trap - INT; exec "$@") <&0 &
  child=$!
  while :; do
    status=0
    wait "$child" || status=$?
    kill -0 "$child" 2>/dev/null || break # a trap interrupted the wait; the command still runs
  done
  return "$status"
}

action="${1:-}"
shift || true
case "$action" in
  start) cmd_start "$@" ;;
  stop) cmd_stop "$@" ;;
  run) cmd_run "$@" ;;
  *)
    say "usage: test-desktop.sh run [--wm WM] -- COMMAND... | start [--wm WM] | stop [:N]"
    exit 2
    ;;
esac
