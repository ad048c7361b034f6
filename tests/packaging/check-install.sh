#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks that exactly the
# program, its settings plugin and its desktop files land in their places.
set -euo pipefail
build_dir=$1
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cmake --install "$build_dir" --prefix "$stage" >/dev/null
expected="bin/tarnwick
lib/tarnwick/libtarnwick-model.so
lib/tarnwick/libtarnwick-settings.so
share/applications/io.github.tarnwick.Tarnwick.desktop
share/icons/hicolor/scalable/apps/io.github.tarnwick.Tarnwick.svg
share/tarnwick/autostart/io.github.tarnwick.Tarnwick.desktop"
actual=$(cd "$stage" && find . -type f | sed 's|^\./||' | sort)
if [ "$actual" != "$expected" ]; then
  printf 'installed files differ:\n%s\n' "$actual" >&2
  exit 1
fi
# The settings plugin finds what it needs where it was installed.
if ldd "$stage/lib/tarnwick/libtarnwick-settings.so" | grep 'not found'; then
  exit 1
fi
desktop-file-validate "$stage/share/applications/io.github.tarnwick.Tarnwick.desktop" \
  "$stage/share/tarnwick/autostart/io.github.tarnwick.Tarnwick.desktop"
# The installed program runs, in a home of its own: the self-test's shell
# must not read the user's zsh files.
mkdir "$stage/home"
env -i PATH="$PATH" HOME="$stage/home" "$stage/bin/tarnwick" --selftest >/dev/null
