#!/usr/bin/env bash
# The OS version line on a machine that claims Windows 10: Report declares no
# supported-OS list, so GetVersionExA gives it 6.2.9200 there (as on Windows 8.1
# to 11) and the "OSバージョン" line must show that, while the OS name still
# comes from kernel32's own version. Wine honours a manifest's supported-OS
# list, so a manifest that declared Windows 10 would show 10.0.x here and fail.
source "$(dirname "$0")/lib.sh"
WORK="$BUILD_DIR/e2e/os_version"
rm -rf "$WORK"; mkdir -p "$WORK"
E2E_PRIVATE_DISPLAY=1
trap stop_all EXIT
make_prefix
start_display || exit 1
wine winecfg -v win10 > "$WORK/winecfg.log" 2>&1 < /dev/null
install_report

failures=0

wine reg query 'HKLM\Software\Microsoft\Windows NT\CurrentVersion' /v ProductName /reg:64 \
  > "$WORK/product-name.txt" 2>&1 < /dev/null
check "the prefix claims Windows 10" grep -q 'Windows 10' "$WORK/product-name.txt"
drive "$WORK/full.txt" full
check "driver finished the full scenario" test -z "$(result_value "$WORK/full.txt" error)"
check "report written" test -s "$REPORT_OUT"
mkdir -p "$WORK/expect"
cat > "$WORK/expect/os.txt" <<'LINES'
support|OSバージョン 6.2.9200 
LINES
check "the OS version line reads 6.2.9200" \
  python3 "$E2E_DIR/check_report.py" "$REPORT_OUT" "$WORK/expect"
cp "$REPORT_OUT" "$WORK/report.txt" 2>/dev/null

echo "$failures failed"
[ "$failures" -eq 0 ]
