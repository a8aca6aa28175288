#!/usr/bin/env bash
# End-to-end test of the built reader under a private X server, driven by key
# presses and read back from the screen, the window titles and the settings
# file. Every page of the generated series is one solid colour, so the page
# on screen is told by its colour and measured by the colour's extent.
# Usage: run-realx.sh PATH-TO-pagora-viewer [PATH-TO-zip-folder]
set -euo pipefail

binary=$(realpath "$1")
zip_tool=$(realpath "${2:-$(dirname "$binary")/../scripts/zip-folder}")
for tool in Xvfb xdotool xwininfo import convert sha256sum "$zip_tool"; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed"; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/pagora-realx-XXXXXX")
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

# A message box titled TITLE, answered with Return.
answer_box() {
  expect_window "$1"
  key Return
  wait_for window_gone "^$1\$" || fail "Return did not close '$1'"
}

# --- What is on screen -------------------------------------------------------

# The page colours, far from each other and from the window's own colours.
declare -A colour=(
  [red]="#d82020" [green]="#20b040" [blue]="#3050e0"
  [yellow]="#e8d020" [magenta]="#c020c0" [cyan]="#20c8d0"
)

# Takes a picture of the main window into $work/shot.png.
shot() { import -window "$main" "$work/shot.png" 2>/dev/null; }

# Leaves in $box the width, height, left and top of the part of the last
# picture in the given colour, and how many pixels have that colour.
measure() {
  local c=${colour[$1]}
  box=($(convert "$work/shot.png" -alpha off -fuzz 12% -fill black +opaque "$c" -fill white \
    -opaque "$c" -bordercolor black -border 1 -format '%@ %[fx:round(mean*w*h)]' info: 2>/dev/null \
    | tr 'x+' '  '))
  (( box[2] -= 1, box[3] -= 1 ))
}

# The page in that colour is on screen: a block of it, 100 pixels or more
# each way, nine tenths or more of it in that colour.
shows() {
  shot || return 1
  measure "$1"
  (( box[0] >= 100 && box[1] >= 100 && box[4] * 10 >= box[0] * box[1] * 9 ))
}

# Presses the keys and waits until the page in that colour shows.
step_to() {
  local name=$1; shift
  key "$@"
  wait_for shows "$name" || fail "after $* the $name page did not show (seen: ${box[*]:0:2})"
  echo "$* -> $name page"
}

# The settings file holds KEY=VALUE.
setting_is() {
  local file="$XDG_CONFIG_HOME/SorvikViewer/SorvikViewer.ini" value
  value=$(sed -n "s/^$1=//p" "$file" 2>/dev/null | head -n1)
  [[ "$value" == "$2" ]] || fail "settings file: $1 is '$value', not '$2'"
}

# --- The series --------------------------------------------------------------

# page FILE COLOUR [WxH]; the size defaults to 800x600.
page() { convert -size "${3:-800x600}" "xc:${colour[$2]}" -quality 95 "$1"; }

series="$work/Series"
mkdir -p "$series/a-first" "$work/zip-b" "$series/c-third"
page "$series/a-first/01.jpg" red 600x2000
page "$series/a-first/02.png" green
printf 'not a picture %.0s' {1..300} >"$series/a-first/03.jpg"
page "$series/a-first/04.jpg" blue
page "$work/zip-b/01.jpg" yellow
page "$work/zip-b/02.png" magenta
"$zip_tool" "$work/zip-b" "$series/b-second.zip" >/dev/null
page "$series/c-third/01.png" cyan
checksums() { (cd "$series" && find . -type f -print0 | sort -z | xargs -0 sha256sum); }
checksums >"$work/series.before"

# A runtime folder of its own, or Qt would make one in TMPDIR.
mkdir -p "$work/config" "$work/tmp" "$work/home" "$work/runtime"
chmod 700 "$work/runtime"
export XDG_CONFIG_HOME="$work/config" TMPDIR="$work/tmp" HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime"
unset WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb

# Xvfb picks a free display and writes its number to the file.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
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
# Waits for the main window, focuses it and leaves its id in $main.
main_window() {
  expect_window "Pagora Viewer"
  main=$window
}

# One Alt+F opens File, with the focus wherever the steps before left it.
alt_f_opens_file() {
  key alt+f
  wait_for file_open || fail "one Alt+F did not open File (focus: $1)"
  echo "Alt+F opened File (focus: $1)"
}

# With File open, x is Exit: the window goes, the program ends well and
# leaves nothing in its temporary folder.
exit_by_file_menu() {
  key x
  wait_for window_gone '^Pagora Viewer$' || fail "the reader did not close through File > Exit"
  local status=0
  timeout 10 tail --pid="$app_pid" -f /dev/null || fail "the window closed, but the program did not end"
  wait "$app_pid" || status=$?
  app_pid=""
  [[ $status -eq 0 ]] || fail "the reader exited with status $status"
  [[ -z "$(ls -A "$TMPDIR")" ]] || fail "left in TMPDIR: $(ls -A "$TMPDIR")"
  echo "closed through File > Exit; TMPDIR empty"
}

# --- First run: no settings, no folder ---------------------------------------
start_reader
main_window
# Painted (the dark blue margin left of the page area), and the page area black.
empty() {
  shot || return 1
  [[ $(convert "$work/shot.png" -format '%[pixel:p{2,200}]' info:) == "srgb(0,0,128)" ]] || return 1
  [[ $(convert "$work/shot.png" -crop 400x250+60+120 -format '%[max]' info:) == 0 ]]
}
wait_for empty || fail "the first run does not show an empty page area"
echo "first run: the page area is empty"

if [[ -n "${PAGORA_SMOKE_SCREENSHOT:-}" ]]; then
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
# Esc closes the menu, a second Esc leaves the menu bar.
key Escape
wait_for menu_closed || fail "Esc did not close File"
key Escape
key Tab Tab Tab
alt_f_opens_file "three Tabs on"
key Escape
wait_for menu_closed || fail "Esc did not close File"
key Escape
# The folder box lies left in the panel, under the menu bar. It is empty,
# so leaving it opens no message box.
xdotool mousemove --window "$main" 60 62 click 1
sleep 0.2
alt_f_opens_file "clicked into the folder box"
exit_by_file_menu

# --- A folder that does not exist: the reader says so and carries on ---------
start_reader "$work/no-such-folder"
answer_box "Invalid Directory"
main_window
alt_f_opens_file "after 'Invalid Directory'"
exit_by_file_menu

# --- The series as argument: its first chapter at page 1 ---------------------
start_reader "$series"
main_window
wait_for shows red || fail "the first page of the first chapter did not show"
echo "FOLDER argument -> red page"
# The tall page at its own size fills the whole viewport.
viewport=("${box[@]}")
step_to green ctrl+Next
key ctrl+Next
answer_box "Error Accessing Page"
focus "$main"
step_to blue ctrl+Next
step_to yellow alt+Next
compgen -G "$TMPDIR/pagora-viewer-*" >/dev/null || fail "no private folder in TMPDIR while a zip chapter is open"
step_to magenta ctrl+Next
step_to cyan alt+Next
step_to yellow alt+Prior
step_to magenta ctrl+Next
step_to yellow ctrl+Prior
step_to red alt+Prior

# Fit To Window shows the whole tall page as high as the viewport, which
# then has no scroll bars: a little higher than before.
fits() {
  shows red || return 1
  (( box[1] >= viewport[1] - 2 && box[1] <= viewport[1] + 40 )) || return 1
  (( box[0] * 2000 >= (box[1] * 600) - 6000 && box[0] * 2000 <= (box[1] * 600) + 6000 )) || return 1
}
key alt+v
wait_for menu_open || fail "Alt+V did not open View"
key f
wait_for fits || fail "Fit To Window: the page is ${box[0]}x${box[1]} in a ${viewport[0]}x${viewport[1]} viewport"
fitted=("${box[@]}")
echo "Fit To Window: 600x2000 page shown at ${box[0]}x${box[1]} (viewport ${viewport[0]}x${viewport[1]})"

# A resize: the fitted page follows the window's height.
read -r width height < <(xdotool getwindowgeometry --shell "$main" | sed -n 's/^\(WIDTH\|HEIGHT\)=//p' | paste -s -d' ')
xdotool windowmove "$main" 0 0
xdotool windowsize "$main" $((width + 200)) $((height + 150))
resized() {
  shows red || return 1
  (( box[1] >= fitted[1] + 147 && box[1] <= fitted[1] + 153 ))
}
wait_for resized || fail "after the resize the fitted page is ${box[0]}x${box[1]}, was ${fitted[0]}x${fitted[1]}"
echo "resized by +200x+150: page ${fitted[0]}x${fitted[1]} -> ${box[0]}x${box[1]}"

step_to yellow alt+Next
step_to magenta ctrl+Next
alt_f_opens_file "on the page"
exit_by_file_menu
setting_is LastChapter b-second.zip
setting_is LastPage 2

# --- A restart without argument resumes where reading stopped ----------------
start_reader
main_window
wait_for shows magenta || fail "the restart did not resume at the second page of b-second.zip"
echo "restart -> magenta page"
alt_f_opens_file "after the restart"
exit_by_file_menu
setting_is LastChapter b-second.zip
setting_is LastPage 2

checksums >"$work/series.after"
diff "$work/series.before" "$work/series.after" >/dev/null || fail "the series folder changed"
echo "PASS: exact titles; Alt+F, View and page keys; pages, fit and resize on screen; resumed; nothing written"
