#!/bin/sh
# A headless KDE Plasma desktop for tests: a session bus of its own (nothing
# activated), KWin on a virtual Wayland output (hosting kglobalaccel), then
# xdg-desktop-portal-kde and xdg-desktop-portal, each once the one before owns
# its name.
#
#   kde-portal-chain.sh DIR            prints DBUS_SESSION_BUS_ADDRESS=...,
#                                      WAYLAND_DISPLAY=... and "ready", then
#                                      stays until killed with its process group
#   kde-portal-chain.sh DIR COMMAND... runs COMMAND in the desktop instead and
#                                      exits with its status
#
# It runs in the caller's environment (give it a sandbox's HOME and XDG
# directories: kglobalaccel keeps the shortcuts in $XDG_CONFIG_HOME) and keeps
# its files and logs in DIR.
set -eu
dir=$(cd "$1" && pwd)
shift

pids=
trap 'kill $pids 2>/dev/null || true' EXIT
trap 'exit 143' TERM INT
start() { # log, command...
  log=$1
  shift
  "$@" >"$dir/$log.log" 2>&1 &
  pids="$pids $!"
}
await() { # a name on the bus
  gdbus wait --session --timeout 20 "$1" || {
    echo "kde-portal-chain: $1 did not appear on the bus; logs in $dir" >&2
    exit 1
  }
}

# D-Bus-activated services would inherit the bus's environment, not ours.
export XDG_CURRENT_DESKTOP=KDE XDG_SESSION_TYPE=wayland WAYLAND_DISPLAY="tarnwick-wl-$$"
printf '%s' "<busconfig><type>session</type><listen>unix:dir=$dir</listen>
<auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\"/>
<allow receive_sender=\"*\"/><allow own=\"*\"/></policy></busconfig>" >"$dir/bus.conf"
dbus-daemon --nofork --print-address=3 --config-file="$dir/bus.conf" 3>"$dir/bus.address" \
  2>"$dir/bus.log" &
pids="$pids $!"
while [ ! -s "$dir/bus.address" ]; do sleep 0.02; done
DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$dir/bus.address")
export DBUS_SESSION_BUS_ADDRESS

# The packaged binary carries cap_sys_resource, which a container's bounding
# set may lack (exec then fails); a copy carries none.
cp /usr/bin/kwin_wayland "$dir/kwin_wayland"
start kwin "$dir/kwin_wayland" --virtual --socket "$WAYLAND_DISPLAY" --width 1280 --height 800 \
  --no-lockscreen
await org.kde.kglobalaccel
start portal-kde env QT_QPA_PLATFORM=wayland \
  /usr/lib/x86_64-linux-gnu/libexec/xdg-desktop-portal-kde
await org.freedesktop.impl.portal.desktop.kde
start portal /usr/libexec/xdg-desktop-portal --replace
await org.freedesktop.portal.Desktop

if [ $# -gt 0 ]; then
  status=0
  "$@" || status=$?
  exit $status
fi
echo "DBUS_SESSION_BUS_ADDRESS=$DBUS_SESSION_BUS_ADDRESS"
echo "WAYLAND_DISPLAY=$WAYLAND_DISPLAY"
echo ready
wait
