#!/usr/bin/env bash
# Screenshots for a person to look at, not a test. Each scene runs on an Xvfb
# of its own with a sandboxed home:
#   tray-{themed,dark,light}.png   the icon in trayer's XEmbed panel
#   tray-menu.png                  the menu a left click on the icon opens
#   settings.png                   the window under openbox: a long name, a
#                                  switched-off binding, a hotkey taken by
#                                  another program and one used twice
#   settings-focus.png             after Tab presses: the focus ring
#   settings-recording.png         the recorder started with Space
#   settings-run.png               a failed test run, its tool tip shown
#   settings-hotkey-tip.png        the record button's tool tip
#   settings-added.png             after Add Command: the new card in view
#   settings-dragged.png           after dragging the window by its background
#   settings-composited.png        after a compositor started (translucent)
#   settings-uncomposited.png      after it stopped again (opaque)
#   settings-1.5x.png              QT_SCALE_FACTOR=1.5 on 1280x800 with a panel
#   settings-empty.png             no bindings, at 1.5x
# Needs Xvfb, openbox, trayer, xcompmgr, xdotool and ImageMagick's import.
# Usage: bench/screenshots.sh [build dir, default build/ci] [output dir, default <build>/screenshots]
set -euo pipefail
build="${1:-build/ci}"
out="${2:-$build/screenshots}"
mkdir -p "$out"
work="$(mktemp -d)"
pids=()
cleanup() { kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT

start_x() {
  Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
  export DISPLAY=":$(cat "$work/display")"
  rm -f "$work/display"
  home="$work/home-$DISPLAY"
}
# Runs "$@" in the display's sandboxed home; leading NAME=value words are added to it.
sandboxed() {
  local extra=()
  while [[ "${1:-}" == *=* ]]; do extra+=("$1"); shift; done
  mkdir -p "$home/runtime" && chmod 700 "$home/runtime"
  env -i PATH="$PATH" DISPLAY="$DISPLAY" HOME="$home" XDG_CONFIG_HOME="$home/config" \
    XDG_RUNTIME_DIR="$home/runtime" "${extra[@]}" "$@"
}
background() { "$@" >/dev/null 2>&1 & pids+=($!); }
shoot() { sleep "${2:-1}"; import -window root "$out/$1.png"; }
settings_window() { xdotool search --sync --onlyvisible --name '^Tarnwick$' | head -1; }
# Clicks at x,y inside the settings window.
click_in() {
  local window; window="$(settings_window)"
  xdotool mousemove --window "$window" "$1" "$2" click "${3:-1}"
}
binding() { # id name trigger command [enabled]
  printf '{"id":"6A0C1F3E-2B4D-4E5F-8A9B-%012d","name":"%s","trigger":%s,"command":"%s","enabled":%s}' \
    "$1" "$2" "$3" "$4" "${5:-true}"
}
corner() { printf '{"kind":"corner","corner":"%s"}' "$1"; }
hotkey() { printf '{"kind":"hotkey","hotkey":{"display":"%s","keyCode":%s,"modifiers":%s}}' "$@"; }
write_config() { # bindings as JSON
  mkdir -p "$home/config/Tarnwick"
  printf '{"bindings":[%s],"cornerSensitivity":6,"globalEnabled":true}' "$1" \
    >"$home/config/Tarnwick/config.json"
}
# Ctrl+Shift+Y (key code 16, Control|Shift), and Super+Alt+T (17, Command|Option).
ctrl_shift_y="$(hotkey '⌃⇧Y' 16 4608)"
super_alt_t="$(hotkey '⌥⌘T' 17 2304)"
bindings="$(binding 1 'Open a terminal in the home folder with a rather long name that does not fit' \
    "$super_alt_t" 'x-terminal-emulator --working-directory \"$HOME\" --title \"a long command line\"'),$(
  binding 2 'Lock screen' "$(corner topLeft)" 'loginctl lock-session' false),$(
  binding 3 'Screenshot' "$ctrl_shift_y" 'scrot ~/shot.png'),$(
  binding 4 'Terminal again' "$super_alt_t" 'echo twice'),$(
  binding 5 'Broken' "$(corner bottomRight)" 'echo \"no such thing\" >&2; exit 3')"

for panel in themed:"" dark:"--transparent true --alpha 0 --tint 0x202020" \
             light:"--transparent true --alpha 0 --tint 0xe8e8e8"; do
  start_x 640x480x24
  # shellcheck disable=SC2086
  background trayer --edge top --align left --widthtype pixel --width 96 --heighttype pixel \
    --height 32 ${panel#*:}
  sleep 1
  background sandboxed "$build/tarnwick"
  sleep 2
  import -window root -crop 96x32+0+0 +repage "$out/tray-${panel%%:*}.png"
done
# The last one: a left click on the icon.
xdotool mousemove 16 16 click 1
import -window root -crop 320x200+0+0 +repage "$out/tray-menu.png"

start_x 1280x800x24
background openbox
write_config "$bindings"
# Another program holds Ctrl+Shift+Y: a second Tarnwick in a home of its own.
other="$home"
home="$work/other" write_config "$(binding 9 'Other' "$ctrl_shift_y" 'true')"
home="$work/other" background sandboxed "$build/tarnwick"
home="$other"
sleep 2
background sandboxed "$build/tarnwick"
sleep 2
sandboxed "$build/tarnwick" # a second start opens the settings window
shoot settings 2
xdotool key Tab Tab Tab Tab
shoot settings-focus
xdotool key Tab Tab Tab space
shoot settings-recording
# A click on the button stops it; the pointer stays for the tool tip.
window="$(settings_window)"
click_in 290 157
shoot settings-hotkey-tip 2
# The last card's run button, at the bottom right of the list scrolled to its end.
xdotool mousemove --window "$window" 300 400 click 5 click 5 click 5 click 5
sleep 0.5
click_in 528 479
shoot settings-run 2
xdotool mousemove --window "$window" 60 560 click 1
shoot settings-added
# Dragged by the header's empty middle.
xdotool mousemove --window "$window" 300 30 mousedown 1 mousemove_relative --sync 40 40 \
  mousemove_relative --sync 60 60 mouseup 1
shoot settings-dragged
background xcompmgr
compositor=$!
shoot settings-composited 2
kill "$compositor"
shoot settings-uncomposited 2

start_x 1280x800x24
background openbox
background trayer --edge bottom --align right --widthtype pixel --width 96 --heighttype pixel \
  --height 32 --SetDockType true --SetPartialStrut true
write_config "$bindings"
sleep 1
background sandboxed QT_SCALE_FACTOR=1.5 "$build/tarnwick"
sleep 2
sandboxed QT_SCALE_FACTOR=1.5 "$build/tarnwick"
shoot settings-1.5x 2

start_x 1280x800x24
background openbox
write_config ""
sleep 1
background sandboxed QT_SCALE_FACTOR=1.5 "$build/tarnwick"
sleep 2
sandboxed QT_SCALE_FACTOR=1.5 "$build/tarnwick"
shoot settings-empty 2
echo "screenshots in $out"
