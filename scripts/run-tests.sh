#!/usr/bin/env bash
# Sets up, builds and runs every test. --sanitize runs them in the
# AddressSanitizer + UndefinedBehaviorSanitizer build instead.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
build_dir=$(scripts/build.sh "$@")
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build_dir" --output-on-failure -j 2
