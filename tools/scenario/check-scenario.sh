#!/bin/sh
# Plays a scenario ("$@" is the runner and its arguments) and checks that it ran to the end: exit status 0 and
# both frame listings printed.
out=$("$@") || exit 1
printf '%s\n' "$out" | grep -q '^== frames before' && printf '%s\n' "$out" | grep -q '^== frames after'
