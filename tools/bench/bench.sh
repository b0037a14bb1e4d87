#!/usr/bin/env bash
# The benchmark report in one command: compile speed and peak memory of the tovrin command on
# generated programs of the sizes given (in MB; default 1 10 50) beside luac -p (Lua 5.4) and
# tcc -fsyntax-only on programs of the same size and shape, the build of a full 60 KB image,
# and the SRAM and Flash transfers through the emulated programmer against their floors.
#   BUILD_DIR      where tovrin and the report are built (default build-harden)
#   --no-download  leave out the transfers (the SRAM one takes about 45 s)
# The peers are Debian packages, installed here when missing (never by the normal setup).
set -euo pipefail
cd "$(dirname "$0")/../.."

build_dir=$(realpath -m "${BUILD_DIR:-build-harden}")
missing=()
command -v luac5.4 >/dev/null || missing+=(lua5.4)
command -v tcc >/dev/null || missing+=(tcc)
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
fi

cmake -S . -B "$build_dir" -G Ninja -DTOVRIN_GUI=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >&2
cmake --build "$build_dir" --target tovrin report_bench >&2

echo "tovrin $(git rev-parse --short HEAD 2>/dev/null || echo '?'), $(nproc) cores, $(uname -m)"
"$build_dir/tools/bench/report_bench" --tovrin "$build_dir/tovrin" --luac "$(command -v luac5.4)" \
  --tcc "$(command -v tcc)" "$@"
