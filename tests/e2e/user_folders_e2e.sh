#!/usr/bin/env bash
# Report only reads: a missing Documents or application-data folder is neither
# created nor replaced by another place. The cases move the user's folders away
# and back, which other test programs sharing a prefix would notice, so they
# run here in a prefix of their own; under the plain Windows-test run they skip.
source "$(dirname "$0")/lib.sh"
WORK="$BUILD_DIR/e2e/user_folders"
rm -rf "$WORK"; mkdir -p "$WORK"
E2E_PRIVATE_DISPLAY=1
trap stop_all EXIT
# Wine links some user folders (Documents among them) to the Linux home
# folder. The cases move user folders away, so the prefix gets a home of its
# own, and any link left is replaced by a plain folder before they run.
export HOME="$WORK/home"
mkdir -p "$HOME"
make_prefix
find "$DRIVE_C/users" -type l > "$WORK/links.txt"
while IFS= read -r link; do rm -f "$link" && mkdir -p "$link"; done < "$WORK/links.txt"
if [ -n "$(find "$DRIVE_C/users" -type l)" ]; then
  echo "FAIL the prefix's user folders still hold links; nothing was moved"
  exit 1
fi
start_display || exit 1
export REPORT_TEST_BIN64="$(winpath "$BUILD_DIR/win64/bin")"
export REPORT_TEST_BIN32="$(winpath "$BUILD_DIR/win32/bin")"
export REPORT_TEST_MOVE_USER_FOLDERS=1

failures=0
for area in app process browser; do
  out="$WORK/${area}_tests.txt"
  wine "$BIN64/${area}_tests.exe" --gtest_filter='MissingUserFolder.*' > "$out" 2>&1 < /dev/null
  rc=$?
  cat "$out"
  if [ "$rc" -ne 0 ] || grep -q 'SKIPPED' "$out" || ! grep -q '\[  PASSED  \] 1 test' "$out"; then
    echo "FAIL $area: the missing-folder case did not pass"
    failures=$((failures + 1))
  fi
done
echo "$failures failed"
[ "$failures" -eq 0 ]
