#!/usr/bin/env bash
# Sets up, builds the compiler alone (not the window, the tests or the benchmarks) and compiles
# an example program: the main job. An example whose first line is "// build: FLAGS" is built
# with those flags (examples/logger.tvr needs external RAM).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja >&2
cmake --build "$build_dir" --target tovrin >&2
example=${1:-examples/fan.tvr}
flags=()
read -r -a flags < <(sed -n '1s#^[[:space:]]*//[[:space:]]*build:##p' "$example") || true
"$build_dir/tovrin" build "$example" "${flags[@]}" --log "$build_dir/tovrin.log"
