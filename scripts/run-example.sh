#!/usr/bin/env bash
# Sets up, builds, and compiles an example program: the main job.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh >/dev/null
example=${1:-examples/fan.tvr}
build/tovrin build "$example" --log build/tovrin.log
