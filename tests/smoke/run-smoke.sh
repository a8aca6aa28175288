#!/usr/bin/env bash
# End-to-end smoke test: the built reader under a private X server opens a
# window titled "Pagora Viewer" and closes through File > Exit.
# Usage: run-smoke.sh PATH-TO-pagora-viewer
set -euo pipefail

binary=$(realpath "$1")
for tool in Xvfb xdotool; do
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

"$binary" >"$work/app.log" 2>&1 &
app_pid=$!

window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Pagora Viewer$' | head -n1) || true
if [[ -z "$window" ]]; then
  echo "FAIL: no window titled 'Pagora Viewer' appeared"
  cat "$work/app.log"
  exit 1
fi
title=$(xdotool getwindowname "$window")
[[ "$title" == "Pagora Viewer" ]] || { echo "FAIL: window title is '$title'"; exit 1; }
echo "window $window titled '$title'"

if [[ -n "${PAGORA_SMOKE_SCREENSHOT:-}" ]] && command -v import >/dev/null; then
  import -window root "$PAGORA_SMOKE_SCREENSHOT"
fi

# No window manager here: give the window the keyboard focus ourselves,
# then open File with its access key and choose Exit.
exited=""
for _ in $(seq 5); do
  xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
  sleep 0.3
  xdotool key --clearmodifiers alt+f
  sleep 0.5
  xdotool key x
  for _ in $(seq 50); do
    if ! kill -0 "$app_pid" 2>/dev/null; then exited=yes; break; fi
    sleep 0.1
  done
  [[ -n "$exited" ]] && break
done

if [[ -z "$exited" ]]; then
  echo "FAIL: the reader did not close through File > Exit"
  cat "$work/app.log"
  exit 1
fi
status=0
wait "$app_pid" || status=$?
app_pid=""
if [[ $status -ne 0 ]]; then
  echo "FAIL: the reader exited with status $status"
  cat "$work/app.log"
  exit 1
fi
echo "PASS: window opened and closed through File > Exit"
