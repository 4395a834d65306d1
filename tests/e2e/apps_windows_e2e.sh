#!/usr/bin/env bash
# The document-program cases that need real top-level windows (a running
# Acrobat, the macro editor) run here, on a virtual display in a private prefix;
# under the plain Windows-test run they have no display and skip themselves.
source "$(dirname "$0")/lib.sh"
WORK="$BUILD_DIR/e2e/apps_windows"
rm -rf "$WORK"; mkdir -p "$WORK"
E2E_PRIVATE_DISPLAY=1
trap stop_all EXIT
make_prefix
start_display || exit 1
export REPORT_TEST_BIN64="$(winpath "$BUILD_DIR/win64/bin")"
export REPORT_TEST_BIN32="$(winpath "$BUILD_DIR/win32/bin")"
out="$WORK/apps_tests.txt"
wine "$BIN64/apps_tests.exe" --gtest_filter='Office.OnlyAVisibleMacroEditorWarns:AcrobatChain.OlderProgramDefersToARunningOne' \
  > "$out" 2>&1 < /dev/null
rc=$?
cat "$out"
if grep -q 'SKIPPED' "$out"; then echo "FAIL window cases were skipped"; exit 1; fi
grep -q '\[  PASSED  \] 2 tests' "$out" || { echo "FAIL window cases did not both pass"; exit 1; }
exit $rc
