# Sourced by run.sh. A start outside a login session (root on a fresh machine, say) has no $XDG_RUNTIME_DIR,
# which Qt complains of. Give it the private folder tilvane falls back to itself ($TMPDIR or /tmp, then
# tilvane-UID), so a start with and one without this script meet at the same instance socket. A folder that is
# not private (a link, another owner, another mode) is left alone: tilvane then says why it passes it over.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  case "${TMPDIR:-}" in /*) private_runtime="$TMPDIR" ;; *) private_runtime=/tmp ;; esac
  private_runtime="${private_runtime%/}/tilvane-$(id -u)"
  mkdir -m 0700 "$private_runtime" 2>/dev/null || true
  if [ -d "$private_runtime" ] && [ ! -L "$private_runtime" ] &&
    [ "$(stat -c '%u %a' "$private_runtime")" = "$(id -u) 700" ]; then
    export XDG_RUNTIME_DIR="$private_runtime"
  fi
  unset private_runtime
fi
