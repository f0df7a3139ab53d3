#!/usr/bin/env bash
# Checks that the editor's window fits a small screen at a high scale factor, as a person would
# see it: starts `kitforge` on a private 1280x800 X server without a window manager at
# QT_SCALE_FACTOR=2 (which leaves 640x400 device-independent pixels), finds its window with
# xdotool, checks that the window lies on the screen, and clicks the Down arrow button, the
# last control of the window, where it should be. The click is checked by what it did: the
# script then saves the project and reads the order of its rows back from the file.
#   check-editor-window.sh KITFORGE [SCALE]
# With KITFORGE_WINDOW_PICTURE=FILE.png it also saves a picture of the screen. Exits 77 (the
# code CTest counts as skipped) when Xvfb or xdotool is missing (or ImageMagick's import, when a
# picture is asked for).
set -euo pipefail
kitforge=$1
scale=${2:-2}
screen_width=1280
screen_height=800

tools=(Xvfb xdotool)
[ -n "${KITFORGE_WINDOW_PICTURE:-}" ] && tools+=(import)
for tool in "${tools[@]}"; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "check-editor-window: skipped, $tool is not installed" >&2
    exit 77
  fi
done

# shellcheck source=private-xvfb.sh
. "$(dirname "$0")/private-xvfb.sh"
work=$(mktemp -d)
editor=
# shellcheck disable=SC2317  # run by the EXIT trap
cleanup() {
  local status=$?
  if [ -n "$editor" ]; then
    kill "$editor" 2>/dev/null || true
    wait "$editor" 2>/dev/null || true
  fi
  if [ -n "${XVFB_PID:-}" ]; then kill "$XVFB_PID" 2>/dev/null || true; fi
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT
fail() {
  echo "check-editor-window: $*" >&2
  exit 1
}

start_private_xvfb "${screen_width}x${screen_height}x24"
export DISPLAY=$XVFB_DISPLAY
mkdir -p "$work/home"
HOME="$work/home" QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=$scale "$kitforge" >"$work/editor.log" 2>&1 &
editor=$!
window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Kitforge$' | head -n 1) ||
  fail "no window named Kitforge appeared; the editor said: $(cat "$work/editor.log")"
xdotool windowfocus --sync "$window"
sleep 0.5

eval "$(xdotool getwindowgeometry --shell "$window")"
echo "window at $X,$Y, $WIDTH x $HEIGHT on a ${screen_width}x${screen_height} screen at scale $scale"
if [ "$X" -lt 0 ] || [ "$Y" -lt 0 ] || [ $((X + WIDTH)) -gt $screen_width ] || [ $((Y + HEIGHT)) -gt $screen_height ]; then
  fail "the window ($WIDTH x $HEIGHT at $X,$Y) does not lie on the ${screen_width}x${screen_height} screen"
fi

# Two rows, the first empty and selected, the second Quit, made from the keyboard: Tab leads
# from the Title field past the other fields and the list to Insert, then on to Quit.
press() { xdotool key --delay 60 "$@"; }
press Tab Tab Tab Tab Tab Tab space                # Insert: an empty row, selected
press Tab Tab Tab Tab Tab Tab Tab Tab space        # Quit: the selected row becomes Quit
press shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab space  # Insert above it

# The Down button is the bottom-right control of the Script group: its centre lies 31 by 45
# device-independent pixels from the window's bottom-right corner (the group's margins, the
# status line and half the button).
down_x=$((X + WIDTH - 31 * scale))
down_y=$((Y + HEIGHT - 45 * scale))
xdotool mousemove --sync "$down_x" "$down_y" click 1
sleep 0.3
[ -n "${KITFORGE_WINDOW_PICTURE:-}" ] && import -window root "$KITFORGE_WINDOW_PICTURE"

# Save the project under a name typed into the save dialog, and see where Quit went.
script="$work/check.inf"
press ctrl+s
dialog=$(timeout 10 xdotool search --sync --onlyvisible --name '^Save Script$' | head -n 1) ||
  fail "ctrl+S opened no save dialog"
xdotool windowfocus --sync "$dialog"
xdotool type --delay 20 "$script"
press Return
for _ in $(seq 50); do
  grep -q '^\[script\]' "$script" 2>/dev/null && break
  sleep 0.1
done
[ -f "$script" ] || fail "the save dialog wrote no script to $script"
if grep -q '^1=quit' "$script"; then
  echo "the Down button at $down_x,$down_y moved the selected row down"
  exit 0
fi
fail "a click at $down_x,$down_y did not press the Down button; the script holds: $(cat "$script")"
