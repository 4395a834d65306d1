#!/usr/bin/env bash
# Figures for the process-list and browser-windows sections on a busy desktop:
# 40 helper processes and about 200 extra top-level windows. Prints times,
# report lines and companion starts; asserts nothing.
set -eu
here="$(cd "$(dirname "$0")/.." && pwd)"
: "${BUILD_DIR:=$here/build}"
export BUILD_DIR
bash "$here/tests/wine-prefix.sh"
# The test server and its virtual display end with the script.
trap 'bash "$here/tests/wine-prefix.sh" stop' EXIT
out=$(mktemp)
bash "$here/tests/wine-run.sh" "$BUILD_DIR/win64/bin/process_tests.exe" \
  --gtest_also_run_disabled_tests --gtest_filter='ProcessBenchmark.*' > "$out" 2>&1 || true
grep -E '^(top-level|process-list|browser-windows|20 processes)' "$out" || cat "$out"
rm -f "$out"
