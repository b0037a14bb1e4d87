#!/usr/bin/env bash
# Makes the Debian package from the build and checks what it declares and holds.
#
#   check-package.sh BUILD_DIR PROGRAM...
set -uo pipefail
build=$(realpath "$1")
shift
programs=("$@")
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
failures=0
fail() {
  echo "FAIL  $*"
  failures=$((failures + 1))
}

if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$out" >"$out/cpack.log" 2>&1; then
  cat "$out/cpack.log"
  echo "FAIL  cpack could not make the package"
  exit 1
fi
deb=$(ls "$out"/*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || { echo "FAIL  no .deb made"; exit 1; }
echo "package: $(basename "$deb")"

# Library dependencies come from the binaries themselves.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for library in libc6 libstdc++6; do
  [[ $depends == *"$library"* ]] || fail "Depends lacks $library"
done
if [[ " ${programs[*]} " == *" tovrin-gui "* ]]; then
  [[ $depends == *libqt6widgets6* ]] || fail "Depends lacks the Qt widgets library of tovrin-gui"
fi
[[ $depends == *gtest* ]] && fail "Depends names the test framework"

contents=$(dpkg-deb -c "$deb" | awk '{print $NF}')
for program in "${programs[@]}"; do
  grep -qx "./usr/bin/$program" <<<"$contents" || fail "the package lacks /usr/bin/$program"
  grep -qx "./usr/share/man/man1/$program.1" <<<"$contents" || fail "the package lacks the manual page of $program"
done
grep -qx ./usr/share/bash-completion/completions/tovrin <<<"$contents" || fail "the package lacks the completion"
grep -qx ./usr/share/doc/tovrin/examples/fan.tvr <<<"$contents" || fail "the package lacks the examples"

[ "$failures" -eq 0 ] || exit 1
echo "package: dependencies and contents as expected"
