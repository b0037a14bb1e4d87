#!/usr/bin/env bash
# Configures and builds into BUILD_DIR (default build/). Pass --sanitize for
# an AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${BUILD_DIR:-build}
extra=()
if [ "${1:-}" = "--sanitize" ]; then
  build_dir=${BUILD_DIR:-build-asan}
  extra+=(-DTOVRIN_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
fi
cmake -S . -B "$build_dir" -G Ninja "${extra[@]}" >/dev/null
cmake --build "$build_dir"
echo "$build_dir"
