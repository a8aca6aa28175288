#!/usr/bin/env bash
# End-to-end test of the built reader under a private X server, for what only
# a real X server shows: every window carries exactly the title the program
# gives it, Alt+F opens File at the first press whatever control has the
# focus, and File > Exit closes the program.
# Usage: run-smoke.sh PATH-TO-pagora-viewer
set -euo pipefail

binary=$(realpath "$1")
for tool in Xvfb xdotool xwininfo; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed"; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/pagora-smoke-XXXXXX")
xvfb_pid=""
app_pid=""
cleanup() {
  [[ -n "$app_pid" ]] && kill "$app_pid" 2>/dev/null || true
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  [[ -f "$work/app.log" ]] && cat "$work/app.log"
  exit 1
}

# Runs the command every 0.1 s until it succeeds; false after about 5 s.
wait_for() {
  for _ in $(seq 50); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# No window manager here: the test gives a window the keyboard focus itself.
focus() {
  timeout 5 xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1"
  sleep 0.2
}

key() { xdotool key --clearmodifiers "$@"; }

# The left edge of each pop-up menu of the reader on the screen, one a line:
# the visible windows of the program that bypass the window manager.
menu_lefts() {
  local w info
  for w in $(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null); do
    info=$(xwininfo -id "$w" 2>/dev/null) || continue
    grep -q 'Override Redirect State: yes' <<<"$info" || continue
    sed -n 's/^ *Absolute upper-left X: *//p' <<<"$info"
  done
}
menu_open() { [[ -n "$(menu_lefts)" ]]; }
menu_closed() { ! menu_open; }
# File is the first title of the menu bar: its menu opens at the window's left edge.
file_open() {
  local left main_left
  main_left=$(xwininfo -id "$main" | sed -n 's/^ *Absolute upper-left X: *//p')
  for left in $(menu_lefts); do
    (( left >= main_left && left <= main_left + 8 )) && return 0
  done
  return 1
}

window_gone() { ! xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }

# Waits for a window whose title holds TITLE, checks that the title is exactly
# TITLE (nothing appended), gives it the focus and leaves its id in $window.
expect_window() {
  local title=$1 name
  window=$(timeout 20 xdotool search --sync --onlyvisible --name "^$title" | head -n1) || true
  [[ -n "$window" ]] || fail "no window titled '$title' appeared"
  name=$(xdotool getwindowname "$window")
  [[ "$name" == "$title" ]] || fail "a window is titled '$name', not '$title'"
  echo "window titled '$name'"
  focus "$window"
}

mkdir -p "$work/config" "$work/tmp" "$work/home"
export XDG_CONFIG_HOME="$work/config" TMPDIR="$work/tmp" HOME="$work/home"
unset WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb

# Xvfb picks a free display and writes its number to the file.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
  [[ -s "$work/display" ]] && break
  sleep 0.1
done
[[ -s "$work/display" ]] || { echo "FAIL: Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"

# Starts the reader in the background with the given arguments.
start_reader() {
  "$binary" "$@" >"$work/app.log" 2>&1 &
  app_pid=$!
}

# One Alt+F opens File, with the focus wherever the steps before left it.
alt_f_opens_file() {
  key alt+f
  wait_for file_open || fail "one Alt+F did not open File (focus: $1)"
  echo "Alt+F opened File (focus: $1)"
}

# With File open, x is Exit: the window goes and the program ends well.
exit_by_file_menu() {
  key x
  wait_for window_gone '^Pagora Viewer$' || fail "the reader did not close through File > Exit"
  local status=0
  timeout 10 tail --pid="$app_pid" -f /dev/null || fail "the window closed, but the program did not end"
  wait "$app_pid" || status=$?
  app_pid=""
  [[ $status -eq 0 ]] || fail "the reader exited with status $status"
  echo "closed through File > Exit"
}

# First run, a folder that does not exist: the reader says so in a message box.
start_reader "$work/no-such-folder"
expect_window "Invalid Directory"
key Return
wait_for window_gone "Invalid Directory" || fail "Return did not close 'Invalid Directory'"
expect_window "Pagora Viewer"
main=$window

if [[ -n "${PAGORA_SMOKE_SCREENSHOT:-}" ]] && command -v import >/dev/null; then
  import -window root "$PAGORA_SMOKE_SCREENSHOT"
fi

# The help and About windows, each closed again with Esc.
key alt+h
wait_for menu_open || fail "Alt+H did not open Help"
key b
expect_window "Basic Instructions"
key Escape
wait_for window_gone "Basic Instructions" || fail "Esc did not close 'Basic Instructions'"
focus "$main"
key alt+h
wait_for menu_open || fail "Alt+H did not open Help"
key a
expect_window "About The Pagora Viewer"
key Escape
wait_for window_gone "About The Pagora Viewer" || fail "Esc did not close the About window"
focus "$main"
alt_f_opens_file "back from the About window"
exit_by_file_menu

# Second run, no folder: the focus moved by Tab, then by a click. The folder
# box is empty, so leaving it opens no message box.
start_reader
expect_window "Pagora Viewer"
main=$window
key Tab Tab Tab
alt_f_opens_file "three Tabs on"
# Esc closes the menu, a second Esc leaves the menu bar.
key Escape
wait_for menu_closed || fail "Esc did not close File"
key Escape
# The folder box lies left in the panel, under the menu bar.
xdotool mousemove --window "$main" 60 62 click 1
sleep 0.2
alt_f_opens_file "clicked into the folder box"
exit_by_file_menu
echo "PASS: exact titles; one Alt+F opens File; the reader closed through File > Exit"
