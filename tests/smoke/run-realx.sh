#!/usr/bin/env bash
# The built reader under a private X server, along one read-and-resume path: what only a
# real X server shows (exact titles, a real message box, access keys, menus as drawn, focus,
# fit and resize on screen). Each page is one solid colour, told and measured by its colour.
# Usage: run-realx.sh PATH-TO-pagora-viewer [PATH-TO-zip-folder]
set -euo pipefail
binary=$(realpath "$1")
zip_tool=$(realpath "${2:-$(dirname "$binary")/../scripts/zip-folder}")

work=$(mktemp -d "${TMPDIR:-/tmp}/pagora-realx-XXXXXX")
xvfb_pid="" app_pid=""
trap 'kill $app_pid $xvfb_pid 2>/dev/null || true; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; cat "$work/app.log" 2>/dev/null || true; exit 1; }
# Runs the command every 0.1 s until it succeeds; false after about 5 s.
wait_for() { for _ in $(seq 50); do "$@" && return 0; sleep 0.1; done; return 1; }
key() { xdotool key --clearmodifiers "$@"; }
left_of() { xwininfo -id "$1" 2>/dev/null | sed -n 's/^ *Absolute upper-left X: *//p'; }

# Waits for a window titled exactly TITLE, focuses it (there is no window manager to do
# it) and leaves its id in $window.
expect_window() {
  window=$(timeout 20 xdotool search --sync --onlyvisible --name "^$1\$" | head -n1) || true
  [[ -n "$window" ]] || fail "no window titled exactly '$1' appeared"
  timeout 5 xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
  sleep 0.2
}

# A pop-up menu (override-redirect window) of the program is on screen, left edge in FROM..TO.
menu_at() {
  local w left
  for w in $(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null); do
    [[ $(xwininfo -id "$w" 2>/dev/null) == *"Override Redirect State: yes"* ]] || continue
    left=$(left_of "$w") && (( left >= $1 && left <= $2 )) && return 0
  done
  return 1
}

start() { "$binary" "$@" >"$work/app.log" 2>&1 & app_pid=$!; expect_window "Pagora Viewer"; }
# One Alt+F opens File (the first title: its menu at the window's left edge) wherever
# the focus is; x (Exit) then ends the program well, leaving nothing in its TMPDIR.
quit() {
  local left; left=$(left_of "$window")
  key alt+f
  wait_for menu_at "$left" $((left + 8)) || fail "one Alt+F did not open File ($1)"
  key x
  timeout 10 tail --pid="$app_pid" -f /dev/null || fail "File > Exit did not end the reader"
  wait "$app_pid" || fail "the reader exited with status $?"
  app_pid=""
  [[ -z "$(ls -A "$TMPDIR")" ]] || fail "left in TMPDIR: $(ls -A "$TMPDIR")"
}

declare -A colour=([red]=#d82020 [green]=#20b040 [blue]=#3050e0 [yellow]=#e8d020 [magenta]=#c020c0)
# A block of that colour, 100 pixels or more each way and 90 % solid; its size left in $box.
shows() {
  local c=${colour[$1]}
  import -window "$window" "$work/shot.png" 2>/dev/null || return 1
  box=($(convert "$work/shot.png" -alpha off -fuzz 12% -fill black +opaque "$c" -fill white \
    -opaque "$c" -bordercolor black -border 1 -format '%@ %[fx:round(mean*w*h)]' info: \
    2>/dev/null | tr 'x+' '  '))
  (( box[0] >= 100 && box[1] >= 100 && box[4] * 10 >= box[0] * box[1] * 9 ))
}
# walk KEY COLOUR ...: presses each key and waits until the page in its colour shows.
walk() { while (($#)); do key "$1"; wait_for shows "$2" || fail "$1: no $2 page"; shift 2; done; }

# The series: a tall first page, a file that is no picture, a zip chapter, and a chapter of
# three pages of the same size to read two at a time.
page() { convert -size "${3:-800x600}" "xc:${colour[$2]}" -quality 95 "$1"; }
series="$work/Series"
mkdir -p "$series/a-first" "$work/zip-b"
page "$series/a-first/01.jpg" red 600x2000
page "$series/a-first/02.png" green
printf 'not a picture %.0s' {1..300} >"$series/a-first/03.jpg"
page "$series/a-first/04.jpg" blue
page "$work/zip-b/01.jpg" yellow
page "$work/zip-b/02.png" magenta
"$zip_tool" "$work/zip-b" "$series/b-second.zip" >/dev/null
mkdir -p "$series/c-third"
for p in 1:red 2:green 3:blue; do page "$series/c-third/0${p%:*}.jpg" "${p#*:}" 300x400; done
checksums() { (cd "$series" && find . -type f -print0 | sort -z | xargs -0 sha256sum); }
checksums >"$work/series.before"

mkdir -p "$work/config" "$work/tmp" "$work/home" && mkdir -m 700 "$work/runtime" # for Qt
export XDG_CONFIG_HOME="$work/config" TMPDIR="$work/tmp" HOME="$work/home"
export XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=xcb
Xvfb -displayfd 3 -screen 0 1280x1024x24 3>"$work/display" 2>/dev/null & xvfb_pid=$!
wait_for test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$work/display")"

# The series as argument: its first page, at its own size, fills the viewport.
start "$series"
wait_for shows red || fail "the first page of the first chapter did not show"
viewport=${box[1]}
walk ctrl+Next green
key ctrl+Next
expect_window "Error Accessing Page"
key Return
expect_window "Pagora Viewer"
walk ctrl+Next blue alt+Next yellow ctrl+Next magenta ctrl+Prior yellow alt+Prior red

# Fit To Window: the whole tall page (600:2000) as high as the viewport, which loses its
# scroll bars; then the fitted page follows the window's height.
fits() { shows red && (( box[1] >= $1 && box[1] <= $2 && (box[0]*20 - box[1]*6)**2 <= 3600 )); }
view() { key alt+v; wait_for menu_at 0 9999 || fail "Alt+V did not open View"; key "$1"; }
view f
wait_for fits $((viewport - 2)) $((viewport + 40)) || fail "fitted: ${box[0]}x${box[1]}"
fitted=${box[1]}
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool windowmove "$window" 0 0 windowsize "$window" $((WIDTH + 200)) $((HEIGHT + 150))
wait_for fits $((fitted + 147)) $((fitted + 153)) || fail "resized: ${box[0]}x${box[1]}"
walk alt+Next yellow ctrl+Next magenta
quit "on the page"
ini="$XDG_CONFIG_HOME/SorvikViewer/SorvikViewer.ini"
(( $(grep -cx -e LastChapter=b-second.zip -e LastPage=2 "$ini") == 2 )) || fail "saved: $(<"$ini")"

# A restart without argument resumes where reading stopped; with the focus in the
# folder box (left in the panel, under the menu bar) Alt+F still opens File.
start
wait_for shows magenta || fail "the restart did not resume at the second page of b-second.zip"

# View > Two Pages (Alt+V, T): the cover alone, then pages 2 and 3 side by side; View >
# Right To Left (Alt+V, R) puts page 2 on the right.
walk alt+Next red
side_by_side() { shows "$1" && edge=$((box[2] + box[0])) && shows "$2" && ((edge <= box[2])); }
view t
walk ctrl+Next green
wait_for side_by_side green blue || fail "Two Pages: no green page left of a blue one"
view r
wait_for side_by_side blue green || fail "Right To Left: no blue page left of a green one"
xdotool mousemove --window "$window" 60 62 click 1 sleep 0.2
quit "focus in the folder box"
checksums | diff -q "$work/series.before" - >/dev/null || fail "the series folder changed"
echo "PASS"
