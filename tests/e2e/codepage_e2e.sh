#!/usr/bin/env bash
# Report on a system whose ANSI code page is 1252 (a French Windows), started
# from a folder named José: é (E9) is a lead byte in cp932 but a letter there,
# so the folder must not be split at it.
source "$(dirname "$0")/lib.sh"
WORK="$BUILD_DIR/e2e/codepage"
rm -rf "$WORK"; mkdir -p "$WORK"
# Wine takes its ANSI code page from the Linux locale, which must exist.
if ! locale -a 2>/dev/null | grep -qi '^fr_FR\.utf8$'; then
  echo "SKIP the Linux locale fr_FR.UTF-8 is missing (scripts/install-deps.sh makes it); no cp1252 run"
  exit 77
fi
export LC_ALL=fr_FR.UTF-8
E2E_PRIVATE_DISPLAY=1
trap stop_all EXIT
make_prefix
start_display || exit 1
install_report
# Wine names the Linux file after the locale's encoding, UTF-8 here.
mkdir -p "$DRIVE_C/José"
cp "$DRIVE_C/ReportTool/Report.exe" "$DRIVE_C/José/Report.exe"
REPORT_EXE_WIN='C:\José\Report.exe'
# Say which build runs: the machine field of the PE header.
pe=$(od -A n -t u4 -j 60 -N 4 "$DRIVE_C/José/Report.exe" | tr -d ' ')
case $(od -A n -t x2 -j $((pe + 4)) -N 2 "$DRIVE_C/José/Report.exe" | tr -d ' ') in
  014c) echo "Report.exe under test: 32-bit (x86)" ;;
  8664) echo "Report.exe under test: 64-bit (x64)" ;;
  *) echo "Report.exe under test: unknown machine type" ;;
esac
REPORT_OUT="$DRIVE_C/José/report_o.txt"

failures=0
# The file holds this text somewhere.
holds() { [ -f "$1" ] && grep -q -a -F -e "$2" "$1"; }

# The driver starts C:\José\Report.exe through the ANSI code page and reads the
# "saved" box back: é only survives both ways when that code page is 1252.
echo "== cp1252: full run, then save next to the program"
drive "$WORK/full.txt" full
check "driver finished the full scenario" equals "$(result_value "$WORK/full.txt" error)" ""
check "saved message names the José folder" equals "$(result_value "$WORK/full.txt" saved-text)" \
  'saved C:\José\report_o.txt'
check "report written next to the program" test -s "$REPORT_OUT"
check "nothing written above the folder" test ! -e "$DRIVE_C/report_o.txt"
check "report starts with its header line" holds "$REPORT_OUT" '[Report.exe '
cp "$REPORT_OUT" "$WORK/report_full.txt" 2>/dev/null

echo "== cp1252: the save fails, the error box is captioned with the program's name"
# Folders where the file would go, next to the program and (split wrongly)
# above it: the open fails either way and the error box shows.
rm -rf "$REPORT_OUT" "$DRIVE_C/report_o.txt"
mkdir -p "$REPORT_OUT" "$DRIVE_C/report_o.txt"
drive "$WORK/fail.txt" full
check "driver finished the failing save" equals "$(result_value "$WORK/fail.txt" error)" ""
check "error box caption is the program's base name" equals "$(result_value "$WORK/fail.txt" saved-text-caption)" \
  'Report'
check "no saved message" test "$(result_value "$WORK/fail.txt" saved-text | cut -c1-6)" != "saved "

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all checks passed"
