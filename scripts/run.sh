#!/usr/bin/env bash
# Installs what is missing, builds Tarnwick and starts it. Arguments are
# passed on (for example --selftest).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset ci >/dev/null
cmake --build --preset ci -j "$(nproc)" --target tarnwick
exec build/ci/tarnwick "$@"
