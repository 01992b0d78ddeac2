#!/usr/bin/env bash
# Drives the Apps pane test host on an X test desktop with xdotool: XTerm gets "Do not lay out", then a fixed
# right-half rule, each chosen through the pane, and a new xterm is opened after each. Prints where each xterm
# landed and leaves screenshots in OUT. Run it on a test desktop whose own terminals were closed:
#
#   eval "$(bash scripts/test-desktop.sh start)"    # then close its three terminals
#   bash tools/apps-pane/e2e.sh build/bin/tilvane_apps_pane /tmp/apps-pane-e2e
#
# The host keeps its data in OUT (a fresh store each run); only processes started here are stopped.
set -euo pipefail
host="$1"
out="${2:-/tmp/apps-pane-e2e}"
rm -rf "$out" && mkdir -p "$out"
pids=()
cleanup() { for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done; }
trap cleanup EXIT

XDG_DATA_HOME="$out/data" XDG_CONFIG_HOME="$out/config" "$host" >"$out/host.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do pane="$(xdotool search --name '^Tilvane: Apps$' 2>/dev/null | head -1)" && [ -n "$pane" ] && break; sleep 0.2; done
[ -n "${pane:-}" ] || { echo "the pane did not show" >&2; exit 1; }
sleep 1

click() { xdotool windowactivate --sync "$pane" >/dev/null 2>&1 || true; xdotool mousemove --window "$pane" "$1" "$2" click 1; sleep 0.7; }
rule() { click 430 72; xdotool key "$@" Return; sleep 1; }   # the rule-type popup
xterm_at_100() {
  xterm -T "$1" -geometry 60x15+100+100 </dev/null >/dev/null 2>&1 &
  pids+=($!)
  sleep 3
  echo "$1: $(xdotool getwindowgeometry "$(xdotool search --name "^$1\$" | head -1)" | tr '\n' ' ')"
}

click 100 15; xdotool type --delay 50 "xterm"; sleep 0.5
click 60 78                                   # the second row, XTerm (UXTerm comes first)
rule End                                      # "Do not lay out"
xterm_at_100 "First under DoNotLayout"
rule Home Down                                # "Fixed position and size": the whole area
click 352 101; xdotool key Home Return; sleep 1     # 1 row
click 475 101; xdotool key Up Up Return; sleep 1    # 2 columns
click 485 187; click 485 187                  # the right cell, start and end of the rectangle
import -window "$pane" "$out/pane-fixed-right-half.png"
xterm_at_100 "New under the right-half rule"
import -window root "$out/desktop.png"
echo "stored rules: $(sqlite3 "$out/data/Tilvane/default.sqlite" 'select * from RuleLayoutModel')"
