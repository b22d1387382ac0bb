# shellcheck shell=bash
# Sourced by the tests that run the program on a private desktop. Gives:
#   $work       a private folder, removed on exit
#   fail        says what went wrong, with the end of every $work/*.log
#   within      a polling wait on a condition
#   start_x     a private X server, as DISPLAY
#   start_window_manager
# and, for the tests that drive the window with xdotool: start, visible,
# shown, gone, focused, keys, geometry and ends_with.
# On exit it runs the test's own `leaving`, if defined, then ends every job
# the test left running, with the process group it leads, if any.
set -euo pipefail

work=$(mktemp -d "${TMPDIR:-/tmp}/tovik-test.XXXXXX")
leave() {
  set +e
  [ "$(type -t leaving)" != function ] || leaving
  for job in $(jobs -pr); do kill -- "-$job" 2>/dev/null || kill "$job" 2>/dev/null; done
  wait
  rm -rf "$work"
}
trap leave EXIT

fail() { echo "FAIL: $*" >&2; tail -n 20 "$work"/*.log >&2 2>/dev/null; exit 1; }

# Waits until the command after `what` holds, for at most $patience
# seconds.
patience=30
within() {
  for _ in $(seq $((patience * 10))); do "${@:2}" >/dev/null && return 0; sleep 0.1; done
  fail "waited in vain for $1"
}

# No socket file: one left by an X server ending next door on the same
# display number would be unlinked under this one. No reset either: a client
# connecting just as the last one left would be refused.
start_x() {
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -nolisten unix -noreset \
    3>"$work/display" 2>"$work/xvfb.err" &
  within "the X server" test -s "$work/display"
  export DISPLAY=":$(cat "$work/display")"
}

# A window manager on it, as users have: openbox, up once it says so.
start_window_manager() {
  openbox --sm-disable >"$work/openbox.log" 2>&1 &
  # xprop succeeds with or without the property: its value says.
  within "the window manager" eval 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'
}

# Starts the command given, logged, and waits for its window: $tovik, $main.
start() {
  "$@" >>"$work/tovik.log" 2>&1 & tovik=$!
  within "the window" eval 'shown Tovik || ! kill -0 "$tovik" 2>/dev/null'
  if ! shown Tovik; then
    wait "$tovik" && status=0 || status=$?
    fail "the program ended with status $status before its window showed"
  fi
  main=$(visible Tovik)
}

# Windows by their title, as xdotool finds them.
visible() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | tail -n1; }
shown() { [ -n "$(visible "$1")" ]; }
gone() { ! shown "$1"; }
focused() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ]; }
# keys WINDOW [KEY...]: activates the window and, once it has the keyboard,
# presses the keys. The window manager calls a window active before the X
# server hands it the keyboard, and a key pressed in between is lost.
keys() {
  xdotool windowactivate --sync "$1"
  within "the keyboard to reach window $1" focused "$1"
  [ $# -eq 1 ] || xdotool key "${@:2}"
}
# geometry WIDTH|HEIGHT WINDOW
geometry() { xdotool getwindowgeometry --shell "$2" | sed -n "s/^$1=//p"; }

ends_with() {
  within "the program to end" eval '! kill -0 "$tovik" 2>/dev/null'
  wait "$tovik" && status=0 || status=$?
  [ "$status" -eq "$1" ] || fail "exit status $status, expected $1"
}
