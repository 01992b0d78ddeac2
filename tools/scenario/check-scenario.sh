#!/bin/sh
# Plays a scenario (the runner, then the script, if any) and checks that it ran to the end: exit status 0, which
# also means every expectation held, and both frame listings printed. A sample script must expect something.
if [ -n "$2" ] && ! grep -q '^expect ' "$2"; then
  echo "$2 has no expectation" >&2
  exit 1
fi
out=$("$@") || exit 1
printf '%s\n' "$out" | grep -q '^== frames before' && printf '%s\n' "$out" | grep -q '^== frames after'
