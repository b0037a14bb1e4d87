#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into BUILD_DIR (default build-fuzz), replays every
# saved reproducer, then fuzzes each target for a short while from its seed corpus.
#   FUZZ_SECONDS  seconds per target (default 30)
#   FUZZ_TARGETS  the targets to run (default: all of them)
#   FUZZ_RUNS     inputs per target from a fixed seed (default: as many as the time allows)
# The build fuzzer works inside a folder of its own, so every path given to a fuzzer is absolute.
# Exits non-zero when a reproducer fails again or a run finds a crash, hang or leak; the
# input that did it is left in BUILD_DIR/artifacts/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=$(realpath -m "${BUILD_DIR:-build-fuzz}")
seconds=${FUZZ_SECONDS:-30}
targets=(${FUZZ_TARGETS:-build hex_reader settings_file programmer})
# FUZZ_RUNS: stop after that many inputs from a fixed seed, so a CI run tries the same inputs
# each time (unless the time limit comes first).
repeatable=""
[ -n "${FUZZ_RUNS:-}" ] && repeatable="-runs=$FUZZ_RUNS -seed=1"

CC=clang CXX=clang++ cmake -S . -B "$build_dir" -G Ninja -DTOVRIN_FUZZ=ON -DTOVRIN_GUI=OFF \
  -DTOVRIN_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >&2
cmake --build "$build_dir" --target "${targets[@]/#/fuzz_}" >&2

# Per target: the longest input worth trying and the time one input may take. The programmer's
# inputs stay short: every answer it waits for in vain costs a real read time-out.
declare -A options=(
  [build]="-max_len=4096 -timeout=10 -dict=$PWD/fuzz/build.dict"
  [hex_reader]="-max_len=2048 -timeout=5"
  [settings_file]="-max_len=2048 -timeout=5"
  [programmer]="-max_len=128 -timeout=20"
)

status=0
for target in "${targets[@]}"; do
  fuzzer=$build_dir/fuzz/fuzz_$target
  artifacts=$build_dir/artifacts/$target
  corpus=$build_dir/corpus/$target
  mkdir -p "$artifacts" "$corpus"
  if compgen -G "fuzz/regressions/$target/*" >/dev/null; then
    echo "== $target: replaying fuzz/regressions/$target"
    "$fuzzer" ${options[$target]} -runs=0 "$PWD/fuzz/regressions/$target"/* 2>&1 | tail -n 3 || status=1
  fi
  echo "== $target: fuzzing for ${seconds}s"
  if ! "$fuzzer" ${options[$target]} -max_total_time="$seconds" $repeatable -print_final_stats=1 \
       -artifact_prefix="$artifacts/" "$corpus" "$PWD/fuzz/corpus/$target" >"$build_dir/fuzz-$target.log" 2>&1; then
    status=1
    echo "!! $target: finding; see $build_dir/fuzz-$target.log and $artifacts/"
  fi
  grep -E '^#[0-9]+[[:space:]]+DONE|stat::number_of_executed_units|stat::peak_rss_mb' "$build_dir/fuzz-$target.log" || true
done
exit $status
