#!/usr/bin/env bash
# Runs one Windows test program under Wine. Wine's background services would
# inherit a pipe to ctest and keep it open, so output goes through a file.
set -u
source "$(dirname "$0")/wine-env.sh"
bits=64
if [ "${1:-}" = --32 ]; then bits=32; shift; fi
exe=$1; shift
[ -f "$exe" ] || { echo "no test program $exe (no tests in that folder yet)"; exit 77; }
if [ "$bits" = 32 ]; then
  # The suite's start found out whether 32-bit programs run here.
  if [ "$(sed -n 's/^runs=//p' "$BUILD_DIR/runs-32bit.txt" 2>/dev/null)" != 1 ]; then
    why=$(sed -n 's/^probe=//p' "$BUILD_DIR/runs-32bit.txt" 2>/dev/null)
    echo "skipped: $(basename "$exe") as a 32-bit program (this machine does not run 32-bit programs: ${why:-not probed})"
    exit 77
  fi
  echo "under test: $(basename "$exe") as a 32-bit program under WoW64"
fi
# The virtual display the prefix script started for this run, if any.
if [ -z "${DISPLAY:-}" ] && [ -f "$BUILD_DIR/test-display" ]; then
  export DISPLAY="$(sed -n 's/^display=//p' "$BUILD_DIR/test-display")"
fi
out=$(mktemp)
export REPORT_TEST_BIN64="$(winpath "$BUILD_DIR/win64/bin")"
export REPORT_TEST_BIN32="$(winpath "$BUILD_DIR/win32/bin")"
wine "$exe" "$@" > "$out" 2>&1 < /dev/null
rc=$?
cat "$out"; rm -f "$out"
exit $rc
