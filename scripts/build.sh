#!/usr/bin/env bash
# Configures and builds into BUILD_DIR (default build/). --sanitize builds with
# AddressSanitizer + UndefinedBehaviorSanitizer into BUILD_DIR-asan (default
# build-asan/); --type TYPE sets the CMake build type (Debug, Release, ...).
# TOVRIN_WERROR=ON makes warnings errors (CI); CC and CXX choose the compiler
# when the folder is first configured. The build's output goes to standard
# error; the folder's name is the one line on standard output.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${BUILD_DIR:-build}
extra=(-DTOVRIN_WERROR="${TOVRIN_WERROR:-OFF}")
while (($#)); do
  case "$1" in
    --sanitize)
      build_dir=$build_dir-asan
      extra+=(-DTOVRIN_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug) ;;
    --type)
      extra+=(-DCMAKE_BUILD_TYPE="$2")
      shift ;;
    *)
      echo "build.sh: unknown argument '$1'" >&2
      exit 2 ;;
  esac
  shift
done
cmake -S . -B "$build_dir" -G Ninja "${extra[@]}" >&2
cmake --build "$build_dir" >&2
echo "$build_dir"
