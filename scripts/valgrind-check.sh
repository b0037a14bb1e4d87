#!/usr/bin/env bash
# Runs the examples, a download through the emulated programmer and the end-to-end tests under
# valgrind's memcheck: any invalid access, use of an uninitialised value or leak fails the check.
# Builds into BUILD_DIR (default build-harden); the emulated programmer itself runs outside
# valgrind (it is the other end of the line, not the program under test).
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v valgrind >/dev/null; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get install -y -qq --no-install-recommends valgrind
fi

build_dir=$(realpath -m "${BUILD_DIR:-build-harden}")
fuzzers=(build hex_reader settings_file programmer)
cmake -S . -B "$build_dir" -G Ninja -DTOVRIN_GUI=OFF -DTOVRIN_FUZZ=ON >&2
cmake --build "$build_dir" --target tovrin tovrin-programmer test_e2e "${fuzzers[@]/#/fuzz_}" >&2
repo=$PWD

work=$(mktemp -d)
programmer_pid=
cleanup() {
  [ -n "$programmer_pid" ] && kill "$programmer_pid" 2>/dev/null && wait "$programmer_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
export TOVRIN_SETTINGS=$work/Tovrin.reg

# Errors are marked in the logs, so that valgrind's warnings (ioctls it does not know) are not
# taken for them; system programs the tests start (a shell, a viewer) are not ours to check.
memcheck=(valgrind --tool=memcheck --error-exitcode=99 --leak-check=full
          --show-leak-kinds=definite,indirect,possible --errors-for-leak-kinds=definite,indirect,possible
          --track-origins=yes --error-markers=MEMCHECK-ERROR,MEMCHECK-END
          --trace-children-skip='/bin/*,/usr/bin/*,/usr/sbin/*,/sbin/*' -q)
failures=0

# Runs one command (and the programs it starts) under memcheck. The command's own failure (a
# failed build) is expected; memcheck's verdict, one quiet log per process, is what counts.
check() {
  local label=$1
  shift
  local status=0 logs=$work/logs
  rm -rf "$logs" && mkdir -p "$logs"
  "${memcheck[@]}" --trace-children=yes --log-file="$logs/%p.log" "$@" >"$work/out.log" 2>&1 || status=$?
  if [ "$status" -eq 99 ] || grep -qs MEMCHECK-ERROR "$logs"/*.log; then
    echo "FAIL  $label"
    cat "$logs"/*.log | sed 's/^/      /'
    failures=$((failures + 1))
  else
    echo "ok    $label (exit $status)"
  fi
}

echo "== examples, at two listing levels and placements"
cp examples/*.tvr "$work/"
cd "$work"
for name in *.tvr; do
  check "$name on-chip, level 4" "$build_dir/tovrin" build "$name" --debug-level 4 --log "$work/tovrin.log"
  check "$name external, level 3" "$build_dir/tovrin" build "$name" --debug-level 3 --code external \
    --data external --external-ram 32 --log "$work/tovrin.log"
done
printf 'start() {\n  x as byte;\n  x = ;\n  y = 1;\n}\n' >broken.tvr
check "a failing build" "$build_dir/tovrin" build broken.tvr --debug-level 4 --log "$work/tovrin.log"

echo "== download through the emulated programmer"
"$build_dir/tovrin-programmer" >"$work/device" &
programmer_pid=$!
for _ in $(seq 50); do [ -s "$work/device" ] && break; sleep 0.1; done
device=$(head -n 1 "$work/device")
check "build and download fan.tvr" "$build_dir/tovrin" build fan.tvr --download --port "$device" --log "$work/tovrin.log"
check "download fan.hex" "$build_dir/tovrin" download fan.hex --port "$device"
check "install fan.hex to Flash" "$build_dir/tovrin" install fan.hex --port "$device"
check "settings" "$build_dir/tovrin" settings

echo "== the fuzzers' seeds and saved reproducers, replayed"
for target in "${fuzzers[@]}"; do
  inputs=("$repo/fuzz/corpus/$target")
  [ -d "$repo/fuzz/regressions/$target" ] && inputs+=("$repo/fuzz/regressions/$target")
  check "fuzz_$target inputs" "$build_dir/fuzz/fuzz_$target" "${inputs[@]}"
done

echo "== end-to-end tests (the tovrin processes they start are checked too)"
check "test_e2e" "$build_dir/tests/test_e2e" --gtest_brief=1

if [ "$failures" -gt 0 ]; then
  echo "memcheck: $failures failing run(s)"
  exit 1
fi
echo "memcheck: no invalid access, no uninitialised use, no leak"
