# shellcheck shell=bash
# Sourced by the tests that run the program on a private desktop. Gives:
#   $work       a private folder, removed on exit
#   fail        says what went wrong, with the end of every $work/*.log
#   within      a polling wait on a condition
#   start_x     a private X server, as DISPLAY
#   start_window_manager
# and, for the tests that drive the window with xdotool: start, visible,
# shown, gone, popups, geometry, convert_y, ends_with, in_run_folder and
# check_channels.
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

# Waits until the command after `what` holds, for at most 30 seconds: Wine
# starts programs slowly on a busy machine.
within() {
  for _ in $(seq 300); do "${@:2}" >/dev/null && return 0; sleep 0.1; done
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
  within "the window" shown Tovik
  main=$(visible Tovik)
}

# Windows by their title, as xdotool finds them.
visible() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | tail -n1; }
shown() { [ -n "$(visible "$1")" ]; }
gone() { ! shown "$1"; }
# The program's visible windows other than the main one: its menu popups.
popups() { xdotool search --onlyvisible --pid "$tovik" 2>/dev/null | grep -vx "$main"; }
# geometry WIDTH|HEIGHT WINDOW
geometry() { xdotool getwindowgeometry --shell "$2" | sed -n "s/^$1=//p"; }
# CONVERT, at x 120, sits 8 px below the menu bar, which is what the window
# has above its 101 px client area.
convert_y() { echo $(($(geometry HEIGHT "$main") - 101 + 28)); }

ends_with() {
  within "the program to end" eval '! kill -0 "$tovik" 2>/dev/null'
  wait "$tovik" && status=0 || status=$?
  [ "$status" -eq "$1" ] || fail "exit status $status, expected $1"
}

# The input 0123 in $work/input, and $work/run the current folder, empty.
in_run_folder() {
  mkdir "$work/run" "$work/input" && printf '0123\r\n' >"$work/input/in.txt" && cd "$work/run"
}
# The channel files of that input, byte for byte.
check_channels() {
  printf '0\r\n0\r\n1\r\n1\r\n' | cmp - CH1.txt || fail "CH1.txt: $(od -c CH1.txt)"
  printf '0\r\n1\r\n0\r\n1\r\n' | cmp - CH2.txt || fail "CH2.txt: $(od -c CH2.txt)"
}
