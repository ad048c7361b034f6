#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing Tarnwick need.
# Idempotent: apt-get runs only when something is missing.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  nlohmann-json3-dev uuid-dev
  zsh
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  libxcb1-dev libxcb-xinput-dev libxcb-xkb-dev libxcb-randr0-dev libxcb-sync-dev libxcb-xinerama0-dev
  libxcb-xtest0-dev libxcb-xfixes0-dev libxkbcommon-dev libxkbcommon-x11-dev
  xvfb xauth xdotool x11-xserver-utils x11-utils x11-xkb-utils xkb-data xserver-xephyr
  sxhkd xbindkeys
  qt6-base-dev qt6-declarative-dev qt6-declarative-dev-tools qml6-module-qtquick
  qml6-module-qtquick-controls qml6-module-qtquick-layouts qml6-module-qtquick-window
  qml6-module-qtquick-templates qml6-module-qtqml-workerscript qml6-module-qtqml-models
  qml6-module-qttest libqt6svg6 libgl-dev fonts-dejavu-core qt6-wayland
  imagemagick dbus-daemon dbus-bin libglib2.0-bin trayer libnotify-bin
  kwin-x11
  dpkg-dev desktop-file-utils
  kwin-wayland xdg-desktop-portal xdg-desktop-portal-kde libkf5globalaccel-bin qtwayland5
  qt6-wayland
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  sudo=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
