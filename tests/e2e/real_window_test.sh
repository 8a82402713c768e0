#!/usr/bin/env bash
# Starts the built program in a virtual X display, drives it with xdotool like a user ("load
# data", "agents create", a rest of the mouse on a node for its tooltip, "workers path",
# "oneStep" several times, a rest on three controls for theirs, "startTimer", then "load data"
# at cell size 1 with its progress dialog), takes screenshots with ImageMagick's import and checks
# their pixels.
# Usage: real_window_test.sh <path to velmora> <folder for screenshots>
set -euo pipefail
exe=$1
out=${2:-$(mktemp -d)}
mkdir -p "$out"

if [ -z "${VELMORA_IN_XVFB:-}" ]; then
  export VELMORA_IN_XVFB=1
  exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$exe" "$out"
fi

fail() { echo "FAIL: $*"; exit 1; }
# Centre of a control: the control column starts at x 640, groups sit at their places in it.
click() { xdotool mousemove "$1" "$2" click 1; sleep "${3:-0.5}"; }
# Count of pixels of one colour (r,g,b) inside a region WxH+X+Y of a screenshot.
count() {
  convert "$1" -crop "$2" +repage -fill black +opaque "rgb($3)" -fill white -opaque "rgb($3)" \
    -format '%[fx:round(mean*w*h)]' info:
}

export ASAN_OPTIONS="detect_leaks=0:${ASAN_OPTIONS:-}"
"$exe" >"$out/velmora.log" 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT
for _ in $(seq 1 100); do
  xdotool search --onlyvisible --name '^Velmora$' >/dev/null 2>&1 && break
  sleep 0.2
done
xdotool search --onlyvisible --name '^Velmora$' >/dev/null || fail "the main window did not open"
main=$(xdotool search --onlyvisible --name '^Velmora$' | head -1)
# Whether a window of the program other than the main window and the chart shows: a tooltip.
tip_shown() {
  local w
  for w in $(xdotool search --onlyvisible --class velmora); do
    [ "$w" != "$main" ] && [ "$(xdotool getwindowname "$w")" != Form2 ] && return 0
  done
  return 1
}
sleep 1
import -window root "$out/1-start.png"
[ "$(count "$out/1-start.png" 630x660+0+0 192,192,192)" -gt 20000 ] || fail "no grid of silver outlines"

click 685 70 2          # load data
import -window root "$out/2-loaded.png"
white=$(count "$out/2-loaded.png" 630x660+0+0 255,255,255)
silver=$(count "$out/2-loaded.png" 630x660+0+0 192,192,192)
[ $((630 * 660 - white - silver)) -gt 100000 ] || fail "the cells are not coloured after load data"

click 683 211 4         # agents create
import -window root "$out/3-network.png"
[ "$(count "$out/3-network.png" 630x660+0+0 255,0,0)" -gt 1000 ] || fail "no red network"

# Rest the mouse on a node: the disc whose green outline holds the top-most green pixel away
# from the edges has its centre 2 right of and 3 below that pixel.
read -r gx gy < <(convert "$out/3-network.png" -crop 610x630+10+10 +repage txt:- |
  awk -F'[,: ]+' '/#008000/ { print $1 + 10, $2 + 10; exit }')
[ -n "${gx:-}" ] || fail "no node disc found"
tip_shown && fail "a tooltip shows before hovering"
xdotool mousemove $((gx + 2)) $((gy + 3))
sleep 2
import -window root "$out/3-hover-node.png"
tip_shown || fail "no tooltip over the node at $((gx + 2)),$((gy + 3))"
xdotool mousemove 760 650     # away from the drawing area, over the empty control column
sleep 1
tip_shown && fail "the tooltip stays after the mouse left the node"

click 685 338 4         # workers path
xdotool search --onlyvisible --name '^Form2$' >/dev/null || fail "the chart window is not open"

for _ in $(seq 1 48); do click 687 485 0.15; done   # oneStep up to 8 o'clock
sleep 1
import -window root "$out/4-morning.png"
[ "$(count "$out/4-morning.png" 630x360+0+300 255,255,0)" -gt 50 ] || fail "no yellow loads at 8 o'clock"

# Rest the mouse on "startTimer", the timer interval box and the "traffic:" value: each shows a
# tooltip, and none stays once the mouse is over the empty control column.
for at in "687 454" "862 465" "790 582"; do
  xdotool mousemove 760 650
  sleep 0.5
  tip_shown && fail "a tooltip stays over the empty control column"
  xdotool mousemove $at
  sleep 2
  tip_shown || fail "no tooltip over the control at $at"
done
import -window root "$out/4-traffic-tip.png"
xdotool mousemove 760 650
sleep 0.5

click 687 454 3         # startTimer
click 687 454 1         # and stop it again
import -window root "$out/5-timer.png"
kill -0 $pid 2>/dev/null || fail "the program ended"

# A long command shows its progress: "load data" at cell size 1 (24 million workers). The chart
# window, opened over the main window's top left, moves out of the way first.
for w in $(xdotool search --onlyvisible --name '^Form2$'); do xdotool windowmove "$w" 0 700; done
sleep 0.5
xdotool mousemove 852 39 click --repeat 3 1   # the cell scale box
sleep 0.3
xdotool type "1"
sleep 0.5
click 766 39 1          # new setup
for _ in $(seq 1 300); do  # the grid of 426,240 cells is made and drawn
  xdotool search --onlyvisible --name '^new setup$' >/dev/null 2>&1 || break
  sleep 0.2
done
xdotool mousemove 685 70 click 1   # load data
dialog=""
for _ in $(seq 1 50); do
  dialog=$(xdotool search --onlyvisible --name '^load data$' 2>/dev/null | head -1) && [ -n "$dialog" ] && break
  sleep 0.1
done
[ -n "$dialog" ] || fail "no progress dialog titled \"load data\" during load data at cell size 1"
import -window root "$out/6-progress.png"
for _ in $(seq 1 600); do
  xdotool search --onlyvisible --name '^load data$' >/dev/null 2>&1 || break
  sleep 0.2
done
xdotool search --onlyvisible --name '^load data$' >/dev/null 2>&1 && fail "the progress dialog stayed"
import -window root "$out/7-loaded-cell1.png"
kill -0 $pid 2>/dev/null || fail "the program ended"
# No error box (it would be a second window titled like the program).
[ "$(xdotool search --onlyvisible --name '^Velmora$' | wc -l)" -eq 1 ] || fail "an error box shows"
echo "real window test passed; screenshots in $out"
