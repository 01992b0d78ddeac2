#!/usr/bin/env bash
# Starts and stops a private X desktop for tests: Xvfb, a window manager with its test configuration (4 desktops,
# click to focus, no key bindings but Control+Alt+0, which tests expect the window manager to hold) and trayer as
# a dock with a partial strut along the bottom of the first monitor; or, with --wm-panel, no trayer but the window
# manager's own panel (fluxbox's toolbar, icewm's task bar: no client of the window manager, so no strut, only
# the work area leaves its space out).
#
#   test-desktop.sh start STATE_DIR [--monitors 1|2|unequal] [--wm WM] [--wm-panel]
#                                                      start one; prints "DISPLAY=:N" when it is ready
#   test-desktop.sh stop STATE_DIR                     stop what a start with this STATE_DIR started
#   test-desktop.sh display STATE_DIR                  print ":N" of a running one (exit 1 when none)
#   test-desktop.sh revive STATE_DIR                   start again the window manager or tray of a running one
#                                                      that has ended
#
# WM is one of: openbox (the default), icewm, xfwm4 (its compositor off), xfwm4-compositor, fluxbox. xfwm4 runs
# in a session bus of its own (dbus-run-session), which also starts its settings daemon on the configuration
# written into STATE_DIR; STATE_DIR/wm names the window manager that runs.
#
# STATE_DIR receives the display number, the process ids and each program's output; nothing goes to the
# caller's stdout but the one line above, so ctest never waits on a background program's pipe. The programs run
# in sessions of their own, so a Ctrl+C meant for a program on the desktop does not take the desktop with it. The
# window manager's session is one process group: it is stopped as a group, with the helpers it started (a session
# bus, a settings daemon). Only processes this script started (checked by PID and program name) are ever stopped.
# One monitor is a 1920x1080 screen; two monitors split a 3840x1080 screen into "left" and "right" halves with xrandr --setmonitor;
# unequal ones split a 3200x1080 screen into "small" (1280x800 at the top left) and "large" (1920x1080) beside it.
set -Eeuo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
TIMEOUT_TICKS=1000 # 10 s in steps of 10 ms

# Processes this invocation started: its own children, stopped directly when the start fails.
children=()

die() {
  echo "test-desktop: $*" >&2
  local pid
  [ -n "${started_dir:-}" ] && stop_group "$started_dir"
  for pid in "${children[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  for pid in "${children[@]}"; do wait "$pid" 2>/dev/null || true; done
  [ -n "${started_dir:-}" ] && rm -f "$started_dir"/*.pid "$started_dir/display" "$started_dir/token"
  exit 1
}

# Whether our own child PID still runs (its program may not have started yet).
alive() {
  local stat=""
  kill -0 "$1" 2>/dev/null || return 1
  read -r stat < "/proc/$1/stat" 2>/dev/null || return 1
  stat="${stat##*) }"
  [ "${stat%% *}" != "Z" ]
}

# Whether PID runs the program NAME (so a recycled PID is never signalled). A zombie (ended, not yet reaped by
# whoever adopted it) no longer runs.
runs() {
  local pid="$1" name="$2" comm="" stat=""
  [[ "$pid" =~ ^[0-9]+$ ]] || return 1
  read -r comm < "/proc/$pid/comm" 2>/dev/null || return 1
  [ "$comm" = "$name" ] || return 1
  read -r stat < "/proc/$pid/stat" 2>/dev/null || return 1
  stat="${stat##*) }"
  [ "${stat%% *}" != "Z" ]
}

stop_one() {
  local dir="$1" file="$2" name="$3"
  [ -f "$dir/$file" ] || return 0
  local pid; pid="$(cat "$dir/$file")"
  if runs "$pid" "$name"; then
    kill -TERM "$pid" 2>/dev/null || true
    local i
    for ((i = 0; i < 200; i++)); do runs "$pid" "$name" || break; sleep 0.01; done
    if runs "$pid" "$name"; then kill -KILL "$pid" 2>/dev/null || true; fi
  fi
  rm -f "$dir/$file"
}

# Stops the window manager's process group (its leader is the window manager, or the session bus runner around
# it): TERM to the group while its leader is ours, then KILL to whatever of the group is left after 2 s.
stop_group() {
  local dir="$1"
  [ -f "$dir/wm.pid" ] && [ -f "$dir/wm.comm" ] || { rm -f "$dir/wm.pid" "$dir/wm.comm"; return 0; }
  local pid name; pid="$(cat "$dir/wm.pid")"; name="$(cat "$dir/wm.comm")"
  if runs "$pid" "$name"; then
    kill -TERM -- "-$pid" 2>/dev/null || true
    local i
    for ((i = 0; i < 200; i++)); do group_alive "$pid" || break; sleep 0.01; done
    if group_alive "$pid"; then kill -KILL -- "-$pid" 2>/dev/null || true; fi
  fi
  rm -f "$dir/wm.pid" "$dir/wm.comm"
}

# Whether a process of group PGID still runs (zombies waiting for their reaper do not count).
group_alive() {
  local want="$1" file line fields
  for file in /proc/[0-9]*/stat; do
    { read -r line <"$file"; } 2>/dev/null || continue
    line="${line##*) }"
    read -r -a fields <<<"$line"
    [ "${fields[2]:-}" = "$want" ] && [ "${fields[0]}" != "Z" ] && return 0
  done
  return 1
}

cmd_stop() {
  local dir="$1"
  [ -d "$dir" ] || return 0
  stop_one "$dir" trayer.pid trayer
  stop_group "$dir"
  stop_one "$dir" openbox.pid openbox # left by a desktop started before the window manager was a parameter
  local display=""
  [ -f "$dir/display" ] && display="$(cat "$dir/display")"
  stop_one "$dir" xvfb.pid Xvfb
  # A server that had to be killed leaves its lock and socket behind; they block that display number.
  if [[ "$display" =~ ^[0-9]+$ ]] && [ -f "/tmp/.X$display-lock" ]; then
    local owner; owner="$(tr -dc '0-9' < "/tmp/.X$display-lock" 2>/dev/null || true)"
    if [ -n "$owner" ] && ! kill -0 "$owner" 2>/dev/null; then
      rm -f "/tmp/.X$display-lock" "/tmp/.X11-unix/X$display"
    fi
  fi
  rm -f "$dir/display" "$dir/ready" "$dir/token" "$dir/wm" "$dir/panel"
}

# Removes lock files of X servers whose process is gone (left by killed servers); they would make Xvfb skip or
# refuse those display numbers.
clear_stale_locks() {
  local lock
  for lock in /tmp/.X*-lock; do
    [ -f "$lock" ] || continue
    local owner; owner="$(tr -dc '0-9' < "$lock" 2>/dev/null || true)"
    [ -n "$owner" ] || continue
    if ! kill -0 "$owner" 2>/dev/null && [ ! -d "/proc/$owner" ]; then
      local n="${lock#/tmp/.X}"; n="${n%-lock}"
      rm -f "$lock" "/tmp/.X11-unix/X$n" 2>/dev/null || true
    fi
  done
}

root_prop() { xprop -display ":$1" -root "$2" 2>/dev/null || true; }

# Waits until COMMAND succeeds; fails when our child PID (running NAME) ended or time ran out.
wait_for() {
  local what="$1" pid="$2" name="$3"; shift 3
  local i
  for ((i = 0; i < TIMEOUT_TICKS; i++)); do
    if "$@"; then return 0; fi
    alive "$pid" || die "$what: $name exited (see its log in ${started_dir:-the state folder})"
    sleep 0.01
  done
  die "$what: timed out"
}

# Starts the window manager WM in a session (and so a process group) of its own, with its test configuration
# copied into the state folder; records the group leader's PID and program name.
start_wm() {
  local dir="$1" display="$2" wm="$3" panel="$4" conf="$here/wm" name
  local -a env=() cmd=()
  case "$wm" in
    openbox) cmd=(openbox --sm-disable --config-file "$here/openbox-rc.xml") ;;
    icewm)
      rm -rf "$dir/icewm" && mkdir -p "$dir/icewm" && cp "$conf/icewm/"* "$dir/icewm/"
      [ "$panel" = wm ] && sed -i 's/^ShowTaskBar=0$/ShowTaskBar=1/' "$dir/icewm/preferences"
      env=("ICEWM_PRIVCFG=$dir/icewm")
      cmd=(icewm)
      ;;
    fluxbox)
      # A home of its own that already holds every file fluxbox looks for: without ~/.fluxbox (a fresh machine)
      # its first start writes its defaults over the -rc file, and their wallpaper's setter opens an xmessage.
      local fbhome="$dir/fluxbox-home"
      rm -rf "$fbhome" && mkdir -p "$fbhome/.fluxbox"
      sed "s|@STATE@|$dir|g" "$conf/fluxbox/init" >"$dir/fluxbox-init"
      [ "$panel" = wm ] && sed -i -e 's/^session.screen0.toolbar.visible: false$/session.screen0.toolbar.visible: true/' \
        -e 's/^\(session.screen0.toolbar.tools: .*\)$/\1, systemtray/' "$dir/fluxbox-init"
      cp "$conf/fluxbox/keys" "$dir/fluxbox-keys"
      : >"$dir/fluxbox-menu"
      : >"$dir/fluxbox-apps"
      echo "background: none" >"$dir/fluxbox-overlay"
      local f
      for f in init keys menu apps overlay; do cp "$dir/fluxbox-$f" "$fbhome/.fluxbox/$f"; done
      : >"$fbhome/.fluxbox/windowmenu"
      env=("HOME=$fbhome")
      cmd=(fluxbox -rc "$dir/fluxbox-init")
      ;;
    xfwm4 | xfwm4-compositor)
      local compositor=off channels="$dir/xfwm4/xdg/xfce4/xfconf/xfce-perchannel-xml"
      [ "$wm" = xfwm4-compositor ] && compositor=on
      rm -rf "$dir/xfwm4" && mkdir -p "$channels" "$dir/xfwm4/home"
      cp "$conf/xfwm4/xfce4-keyboard-shortcuts.xml" "$channels/"
      sed "s|@COMPOSITING@|$([ $compositor = on ] && echo true || echo false)|" "$conf/xfwm4/xfwm4.xml" \
        >"$channels/xfwm4.xml"
      # Settings only from these files (not the user's nor the system's); no accessibility bus.
      env=("XDG_CONFIG_DIRS=$dir/xfwm4/xdg" "XDG_CONFIG_HOME=$dir/xfwm4/home" NO_AT_BRIDGE=1)
      cmd=(dbus-run-session -- xfwm4 --compositor="$compositor")
      ;;
  esac
  name="${cmd[0]:0:15}" # as /proc/PID/comm shows it
  DISPLAY=":$display" env "${env[@]}" setsid "${cmd[@]}" </dev/null >"$dir/wm.log" 2>&1 &
  children+=($!)
  echo $! >"$dir/wm.pid"
  echo "$name" >"$dir/wm.comm"
  echo "$wm" >"$dir/wm"
  wait_for "$wm" "$(cat "$dir/wm.pid")" "$name" wm_ready "$display"
}

# Starts trayer as the dock along the bottom of the first monitor and waits for its strut.
start_tray() {
  local dir="$1" display="$2" height="$3"
  DISPLAY=":$display" setsid trayer --SetDockType true --SetPartialStrut true --edge bottom --align left \
    --widthtype percent --width 100 --heighttype pixel --height 24 --monitor 0 --expand false \
    </dev/null >"$dir/trayer.log" 2>&1 &
  children+=($!)
  echo $! >"$dir/trayer.pid"
  wait_for "trayer" "$(cat "$dir/trayer.pid")" trayer tray_ready "$display" "$height"
}

display_written() { [ -s "$1/display.fd" ] && grep -q '^[0-9][0-9]*$' "$1/display.fd"; }
# The check window names itself: a window manager that ended leaves the root's property naming a window gone.
wm_ready() {
  local check
  check="$(root_prop "$1" _NET_SUPPORTING_WM_CHECK | sed -n 's/.*window id # \(0x[0-9a-f]*\).*/\1/p')"
  [ -n "$check" ] &&
    xprop -display ":$1" -id "$check" _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id # $check" &&
    root_prop "$1" _NET_NUMBER_OF_DESKTOPS | grep -q '= 4'
}
workarea_height() { root_prop "$1" _NET_WORKAREA | sed -n 's/.*= [0-9]*, [0-9]*, [0-9]*, \([0-9]*\).*/\1/p'; }
strut_ready() { local h; h="$(workarea_height "$1")"; [ -n "$h" ] && [ "$h" -lt "$2" ]; }
# trayer's window is there (one that ended took its own) and the work area leaves its strut out.
tray_ready() {
  xwininfo -display ":$1" -root -tree 2>/dev/null | grep -q '("panel" "trayer")' && strut_ready "$1" "$2"
}

cmd_start() {
  local dir="$1"; shift
  local monitors=1 wm=openbox panel=trayer
  while [ $# -gt 0 ]; do
    case "$1" in
      --monitors) monitors="$2"; shift 2 ;;
      --wm) wm="$2"; shift 2 ;;
      --wm-panel) panel=wm; shift ;;
      *) die "unknown option $1" ;;
    esac
  done
  case "$monitors" in 1 | 2 | unequal) ;; *) die "--monitors takes 1, 2 or unequal" ;; esac
  case "$wm" in openbox | icewm | xfwm4 | xfwm4-compositor | fluxbox) ;; *) die "unknown window manager $wm" ;; esac
  case "$panel/$wm" in trayer/* | wm/icewm | wm/fluxbox) ;; *) die "$wm has no panel of its own" ;; esac
  command -v Xvfb >/dev/null || die "Xvfb is not installed (bash scripts/install-deps.sh)"

  mkdir -p "$dir"
  dir="$(cd "$dir" && pwd)"
  cmd_stop "$dir" # whatever an earlier, interrupted run left behind
  started_dir="$dir"
  trap 'die "a step failed"' ERR
  trap 'die "interrupted"' INT TERM
  clear_stale_locks
  rm -f "$dir"/*.log "$dir/display.fd"

  local width=1920 height=1080
  [ "$monitors" = 2 ] && width=3840
  [ "$monitors" = unequal ] && width=3200

  setsid Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 "${width}x${height}x24" \
    3>"$dir/display.fd" </dev/null >"$dir/xvfb.log" 2>&1 &
  children+=($!)
  echo $! >"$dir/xvfb.pid"
  wait_for "Xvfb" "$(cat "$dir/xvfb.pid")" Xvfb display_written "$dir"
  local display; display="$(cat "$dir/display.fd")"
  echo "$display" >"$dir/display"
  rm -f "$dir/display.fd"
  # A random token on the root window proves to the tests that this display is the one started here (they
  # refuse any display without it, such as a real desktop).
  local token; token="$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')"
  DISPLAY=":$display" xprop -root -f _TILVANE_TEST_DESKTOP 8u -set _TILVANE_TEST_DESKTOP "$token"
  echo "$token" >"$dir/token"

  if [ "$monitors" = 2 ]; then
    local half=$((width / 2))
    DISPLAY=":$display" xrandr --setmonitor left "${half}/508x${height}/286+0+0" screen >/dev/null 2>&1
    DISPLAY=":$display" xrandr --setmonitor right "${half}/508x${height}/286+${half}+0" none >/dev/null 2>&1
    [ "$(DISPLAY=":$display" xrandr --listmonitors | head -1)" = "Monitors: 2" ] || die "xrandr --setmonitor failed"
  elif [ "$monitors" = unequal ]; then
    DISPLAY=":$display" xrandr --setmonitor small "1280/338x800/212+0+0" screen >/dev/null 2>&1
    DISPLAY=":$display" xrandr --setmonitor large "1920/508x${height}/286+1280+0" none >/dev/null 2>&1
    [ "$(DISPLAY=":$display" xrandr --listmonitors | head -1)" = "Monitors: 2" ] || die "xrandr --setmonitor failed"
  fi

  start_wm "$dir" "$display" "$wm" "$panel"
  echo "$panel" >"$dir/panel"

  if [ "$monitors" = unequal ]; then
    : # no tray: fluxbox applies a strut along only part of the screen's bottom edge at some starts, not others
  elif [ "$panel" = wm ]; then
    wait_for "$wm's panel" "$(cat "$dir/wm.pid")" "$(cat "$dir/wm.comm")" strut_ready "$display" "$height"
  else
    start_tray "$dir" "$display" "$height"
  fi

  trap - ERR INT TERM
  started_dir=""
  children=()
  touch "$dir/ready"
  echo "DISPLAY=:$display"
}

# Starts again, as they were started, the window manager and the tray of a desktop whose X server still runs.
cmd_revive() {
  local dir="$1"
  [ -f "$dir/ready" ] && runs "$(cat "$dir/xvfb.pid" 2>/dev/null)" Xvfb || die "the X server of $dir has ended"
  local display wm panel height
  display="$(cat "$dir/display")"; wm="$(cat "$dir/wm")"; panel="$(cat "$dir/panel")"
  height="$(xwininfo -display ":$display" -root | sed -n 's/^ *Height: *//p')"
  trap 'die "a step failed"' ERR
  trap 'die "interrupted"' INT TERM
  if ! runs "$(cat "$dir/wm.pid" 2>/dev/null)" "$(cat "$dir/wm.comm" 2>/dev/null)"; then
    stop_group "$dir"
    echo "window manager $wm ended; starting it again (its log: wm-ended.log)" >>"$dir/revive.log"
    mv -f "$dir/wm.log" "$dir/wm-ended.log" 2>/dev/null || true
    start_wm "$dir" "$display" "$wm" "$panel"
    if [ "$panel" = wm ]; then
      wait_for "$wm's panel" "$(cat "$dir/wm.pid")" "$(cat "$dir/wm.comm")" strut_ready "$display" "$height"
    fi
  fi
  if [ -f "$dir/trayer.pid" ] && ! runs "$(cat "$dir/trayer.pid")" trayer; then
    echo "trayer ended; starting it again (its log: trayer-ended.log)" >>"$dir/revive.log"
    mv -f "$dir/trayer.log" "$dir/trayer-ended.log" 2>/dev/null || true
    start_tray "$dir" "$display" "$height"
  fi
  trap - ERR INT TERM
  children=()
}

cmd_display() {
  local dir="$1"
  [ -f "$dir/ready" ] && [ -f "$dir/display" ] && runs "$(cat "$dir/xvfb.pid" 2>/dev/null)" Xvfb || exit 1
  echo ":$(cat "$dir/display")"
}

[ $# -ge 2 ] || die "usage: test-desktop.sh start|stop|display STATE_DIR [--monitors 1|2|unequal] [--wm WM]"
action="$1"; state="$2"; shift 2
case "$action" in
  start) cmd_start "$state" "$@" ;;
  stop) cmd_stop "$state" ;;
  display) cmd_display "$state" ;;
  revive) cmd_revive "$(cd "$state" && pwd)" ;;
  *) die "unknown action $action" ;;
esac
