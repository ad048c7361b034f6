#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the optimised build
# with warnings as errors, a quick run of the side-by-side benchmark, the
# config decoder's fuzzer, then the whole suite
# again under AddressSanitizer and UndefinedBehaviorSanitizer, in an emptied
# environment, so that no test leans on the machine's locale, time zone,
# terminal or session.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs="${JOBS:-$(nproc)}"
fuzz_seconds="${FUZZ_SECONDS:-60}"

scripts/install-deps.sh

cmake --preset ci
cmake --build --preset ci -j "$jobs"
cmake --build --preset ci --target all_qmllint
ctest --preset ci -j "$jobs"
# The side-by-side benchmark in its quick mode: figures, not a verdict, but
# it must keep running to the end.
build/ci/bench/compare/tarnwick_compare --quick

cmake --preset fuzz
cmake --build --preset fuzz -j "$jobs" --target decode_config_fuzzer
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir "$work/corpus" "$work/home"
if ! build/fuzz/fuzz/decode_config_fuzzer -max_total_time="$fuzz_seconds" -timeout=10 \
    -max_len=8192 -dict=fuzz/config.dict -print_final_stats=1 -artifact_prefix="$work/" \
    "$work/corpus" fuzz/corpus >"$work/fuzz.log" 2>&1; then
  cat "$work/fuzz.log"
  echo "fuzzing found a fault" >&2
  exit 1
fi
grep -E '^Done|stat::number_of_executed_units' "$work/fuzz.log"

cmake --preset asan
cmake --build --preset asan -j "$jobs"
env -i PATH="$PATH" HOME="$work/home" ctest --preset asan -j "$jobs"
