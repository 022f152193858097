#!/usr/bin/env bash
# Writes screenshots of traxgui's forms to docs/screenshots/: starts the built program on a
# virtual X display, drives it with the keyboard as a user would, and saves what the main
# window shows after each step as a small PNG file.
#
# A developer tool, not part of the build or the tests. It needs Xvfb, xdotool and
# ImageMagick (bash tools/install-deps.sh --gui-tools) and a built program:
#   bash tools/gui-screenshots.sh [folder of the built programs, default build/default/bin]
#
# The steps move the focus with Tab, so they follow the forms' tab order; after a change
# to a form, look at the pictures before committing them.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-$repo/build/default/bin}
out=$repo/docs/screenshots
for tool in Xvfb xdotool import convert; do
  command -v "$tool" >/dev/null || {
    echo "gui-screenshots.sh: '$tool' is missing; run: bash tools/install-deps.sh --gui-tools" >&2
    exit 1
  }
done
[ -x "$bin/traxgui" ] || { echo "gui-screenshots.sh: no program $bin/traxgui; build it first" >&2; exit 1; }

work=$(mktemp -d)
xvfb_pid=""
gui_pid=""
cleanup() {
  [ -z "$gui_pid" ] || kill "$gui_pid" 2>/dev/null || true
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A display of its own: Xvfb picks a free number and writes it to the descriptor.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "gui-screenshots.sh: Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(cat "$work/display")"

# The program's own runtime folder keeps its devices apart from any other session.
export QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR=$work/runtime
mkdir -m 0700 "$XDG_RUNTIME_DIR"
"$bin/traxgui" >"$work/traxgui.log" 2>&1 &
gui_pid=$!
window=$(timeout 30 xdotool search --sync --onlyvisible --name '^traxgui$' | head -n 1)
xdotool windowsize --sync "$window" 1000 720
xdotool windowfocus --sync "$window"

# Presses keys one after another, giving the program time to follow.
keys() {
  for key in "$@"; do
    xdotool key "$key"
    sleep 0.2
  done
  sleep 0.4
}
# Types the text into the control that has the focus, replacing what it holds.
type_text() {
  xdotool key ctrl+a
  xdotool type --delay 30 "$1"
}
# Saves the main window as <name>.png, reduced to a palette of 32 colours without dither:
# small files in which the texts stay sharp.
shot() {
  import -window "$window" "$work/$1.png"
  convert "$work/$1.png" -strip +dither -colors 32 "PNG8:$out/$1.png"
  echo "$out/$1.png"
}

mkdir -p "$out"

# Device API form: open the MT test device, then ask its board for a status code it
# does not know (0x13FF, typed in decimal: the form checks the code at each keystroke);
# the red error text shows its name.
keys Tab
type_text M_open
keys Return Tab
type_text sim_mt_1
keys Tab space Tab
type_text M_getstat
keys Return Tab
type_text 5119
keys Tab Tab space
shot traxapi

# OS-services form: the identification text in the output window, then the signal group.
keys alt+l o Tab Tab
type_text UOS_Ident
keys Return Tab space
shot usross-common
keys alt+l o Tab Right
shot usross-signals

# Utility form: identification text and a bit dump of the initial value.
keys alt+l u Tab Tab Tab space Tab Tab space
shot usrutl

# MT driver form: arm the alarm of the block shown on the path opened above.
keys alt+d m Tab Tab Tab Tab Tab space
shot mtdrv

# All four forms tiled: none is smaller than its minimum size, the area scrolls.
keys alt+w t
shot tiled
