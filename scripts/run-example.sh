#!/usr/bin/env bash
# Sets up, builds, and compiles an example program: the main job.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
build_dir=$(scripts/build.sh)
example=${1:-examples/fan.tvr}
"$build_dir/tovrin" build "$example" --log "$build_dir/tovrin.log"
