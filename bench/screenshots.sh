#!/usr/bin/env bash
# Screenshots for a person to look at, not a test: the tray icon in trayer's
# XEmbed panel on its own, a dark and a light background, and the settings
# window, each on an Xvfb of its own with a sandboxed home.
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
}
sandboxed() {
  local home="$work/home-$DISPLAY"
  mkdir -p "$home/runtime" && chmod 700 "$home/runtime"
  env -i PATH="$PATH" DISPLAY="$DISPLAY" HOME="$home" XDG_CONFIG_HOME="$home/config" \
    XDG_RUNTIME_DIR="$home/runtime" "$@"
}

for panel in themed:"" dark:"--transparent true --alpha 0 --tint 0x202020" \
             light:"--transparent true --alpha 0 --tint 0xe8e8e8"; do
  start_x 640x480x24
  # shellcheck disable=SC2086
  trayer --edge top --align left --widthtype pixel --width 96 --heighttype pixel --height 32 \
    ${panel#*:} >/dev/null 2>&1 &
  pids+=($!)
  sleep 1
  sandboxed "$build/tarnwick" >/dev/null 2>&1 &
  pids+=($!)
  sleep 2
  import -window root -crop 96x32+0+0 +repage "$out/tray-${panel%%:*}.png"
done

start_x 1280x800x24
sandboxed "$build/tarnwick" >/dev/null 2>&1 &
pids+=($!)
sleep 2
sandboxed "$build/tarnwick" # a second start opens the settings window
sleep 2
import -window root "$out/settings.png"
echo "screenshots in $out"
