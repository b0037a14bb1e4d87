#!/usr/bin/env bash
# The documents check must catch each kind of fault, at the right place: run it on faults/,
# whose documents hold one fault of each kind beside blocks that are right.
set -uo pipefail
here=$(dirname "$(realpath "$0")")
output=$("$here/check-documents.sh" "$1" "$here/faults" 2>&1)
status=$?
failures=0
expect() {
  if ! grep -qF -- "$1" <<<"$output"; then
    echo "missing from the report: $1"
    failures=$((failures + 1))
  fi
}
[ "$status" -ne 0 ] || { echo "the check passed documents with faults"; failures=$((failures + 1)); }
expect "FAIL  README.md:13: does not build (exit 1)"
expect "FAIL  README.md:30: the error log does not say: no such message"
expect "FAIL  README.md:39: unknown kind of tovrin block: 'fail'"
expect "FAIL  docs/guide.md:3: expected to fail with exit 1, got exit 0"
expect "FAIL  docs/guide.md: a file= block (left.tvr) has no complete program after it"
# Both examples, the good program, the failure that happens and the indented program that
# uses a file= block from a subfolder.
expect "documents: 5 passed, 5 failed"
if [ "$failures" -gt 0 ]; then
  echo "--- the report was:"
  echo "$output"
  exit 1
fi
echo "documents check: every planted fault found"
