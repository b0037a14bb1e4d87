#!/usr/bin/env bash
# Configures and builds into BUILD_DIR (default build/). --sanitize builds with
# AddressSanitizer + UndefinedBehaviorSanitizer into BUILD_DIR-asan (default
# build-asan/). The build's output goes to standard error; the folder's name is
# the one line on standard output.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${BUILD_DIR:-build}
extra=()
if [ "${1:-}" = "--sanitize" ]; then
  build_dir=$build_dir-asan
  extra+=(-DTOVRIN_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
fi
cmake -S . -B "$build_dir" -G Ninja "${extra[@]}" >&2
cmake --build "$build_dir" >&2
echo "$build_dir"
