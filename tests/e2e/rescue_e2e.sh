#!/usr/bin/env bash
# End to end, nothing gathered is lost: the investigation thread made to
# execute address 0x10 inside a running section ends in a rescued report and
# one box; wininet.dll refused for Report alone costs only the sections that
# need it; a save onto a full file system keeps the earlier report byte for
# byte and says why.
source "$(dirname "$0")/lib.sh"
WORK="$BUILD_DIR/e2e/rescue"
FULL_MOUNT="$WORK/full"
cleanup() {
  stop_all
  mountpoint -q "$FULL_MOUNT" 2>/dev/null && umount "$FULL_MOUNT"
  return 0
}
mountpoint -q "$FULL_MOUNT" 2>/dev/null && umount "$FULL_MOUNT"
rm -rf "$WORK"; mkdir -p "$WORK"
E2E_PRIVATE_DISPLAY=1
trap cleanup EXIT
make_prefix
start_display || exit 1
install_report
failures=0
utf8() { iconv -f CP932 -t UTF-8 "$1" | tr -d '\r'; }
hex_digits=16; [ "$REPORT_KIND" = wow64 ] && hex_digits=8
# Wine may drop a context set while the thread waits in a system call: the
# thread then goes on, the run ends as usual and the driver ends Report. Such
# a try says so and is made again (at most three).
drive_fault() {  # result scenario [driver arguments]
  local try
  for try in 1 2 3; do
    drive "$@"
    [[ "$(result_value "$1" rescue-text)" == 調査中に問題が発生* ]] && return 0
    echo "     try $try: the redirected thread went on ($(result_value "$1" rescue-text)); again"
  done
}

echo "== a fault inside a running section (プロセス一覧), over an earlier report"
printf 'earlier report\r\n' > "$REPORT_OUT"
drive_fault "$WORK/fault.txt" fault-16
check "the fault was put into the investigation thread" equals "$(result_value "$WORK/fault.txt" fault)" put
check "one box says the run stopped and where the report is" equals \
  "$(result_value "$WORK/fault.txt" rescue-text)" \
  '調査中に問題が発生したため、調査を中断しました。\n\nここまでの調査結果を次のファイルに保存しました。\nC:\ReportTool\report_o.txt'
check "Report ended with the exception's code" equals "$(result_value "$WORK/fault.txt" exit-code)" C0000005
rescued=$(utf8 "$REPORT_OUT")
address=$(printf "%0${hex_digits}X" 16)
line="※調査中に例外が発生したため調査を中断しました 実行中の調査: プロセス一覧 例外コード: C0000005 アドレス: $address "
check "the report file's header comes first" grep -q -m 1 -E '^\[Report\.exe [0-9.]+\]調査結果 [0-9]{4}/' <<< "$(head -n 1 <<< "$rescued")"
check "each level ends with the rescue's line (section, code, address)" python3 - "$REPORT_OUT" "$line" <<'EOF'
import sys
text = open(sys.argv[1], 'rb').read().decode('cp932')
line = sys.argv[2] + '\r\n'
parts = text.split('\r\n======================================\r\n')
# header, banner 1 title, level 1, banner 2 title, level 2, banner 3 title, level 3
levels = [parts[2], parts[4], parts[6]]
ok = [l.endswith(line) for l in levels]
print('     levels ending with the line:', ok)
sys.exit(0 if all(ok) and text.count(line) == 3 else 1)
EOF
check "what was gathered before the fault is kept" grep -q '^OSの確認 $' <<< "$rescued"
check "the section after the fault never ran" bash -c '! grep -q "^セキュリティソフトの種別" <<< "$1"' _ "$rescued"
check "no new file is left beside the report" bash -c '[ "$(ls "$1" | sort | tr "\n" " ")" = "Report.exe report_o.txt " ]' _ \
  "$DRIVE_C/ReportTool"

echo "== the same fault where report_o.txt cannot be written: the Documents folder"
rm -f "$REPORT_OUT"; mkdir "$REPORT_OUT"  # a folder of that name is never replaced
drive_fault "$WORK/fault-docs.txt" fault-16
box=$(result_value "$WORK/fault-docs.txt" rescue-text)
dated=$(find "$WINEPREFIX"* -name "$(date +%Y%m%d).txt" -newer "$WORK/fault.txt" 2> /dev/null | head -n 1)
echo "     the box said: $box"
check "the box names the Documents folder and the date's name" bash -c '[[ "$1" == *"\\$2.txt" && "$1" != *ReportTool* ]]' _ \
  "$box" "$(date +%Y%m%d)"
check "the rescued report there names the section" grep -q \
  "^※調査中に例外が発生したため調査を中断しました 実行中の調査: プロセス一覧 例外コード: C0000005 " \
  <<< "$( [ -n "$dated" ] && utf8 "$dated")"
rmdir "$REPORT_OUT"

if [ "$REPORT_KIND" = wow64 ]; then
  echo "== a fault while the companion runs (ブラウザのモジュール/ウィンドウ構成確認)"
  temp="$WORK/temp-companion"; mkdir -p "$temp"
  REPORT_DRIVER_TEMP=$(winpath "$temp") drive_fault "$WORK/fault-companion.txt" fault-20
  check "the rescue's box came" test -n "$(result_value "$WORK/fault-companion.txt" rescue-text)"
  check "no companion folder is left in the temporary folder" bash -c '[ -z "$(ls "$1")" ]' _ "$temp"
else
  echo "skipped: a fault while the companion runs (the x64 build starts no companion)"
fi

echo "== wininet.dll refused for Report alone"
wine reg add 'HKCU\Software\Wine\AppDefaults\Report.exe\DllOverrides' /v wininet /t REG_SZ /d '' /f \
  > /dev/null 2>&1 < /dev/null
rm -f "$REPORT_OUT"
drive "$WORK/refused.txt" full
wine reg delete 'HKCU\Software\Wine\AppDefaults\Report.exe' /f > /dev/null 2>&1 < /dev/null
check_finished_run "$WORK/refused.txt"
refused=$(utf8 "$REPORT_OUT")
check "the cache section writes its own failure line" grep -q '^★インターネットキャッシュ不明$' <<< "$refused"
check "an Analysis line names the library" grep -q '^※wininet.dllを読み込めませんでした ' <<< "$refused"
check "the sections after it still ran" grep -q '^ 既定フォルダーの確認 $' <<< "$refused"

echo "== \"save\" onto a full file system"
mkdir -p "$FULL_MOUNT"
if mount -t tmpfs -o size=1200k tmpfs "$FULL_MOUNT" 2> "$WORK/mount.txt"; then
  ln -sfn "$FULL_MOUNT" "$WINEPREFIX/dosdevices/t:"
  cp "$REPORT_UNDER_TEST" "$FULL_MOUNT/Report.exe"
  # The earlier report fills all but a few kilobytes.
  python3 -c "import sys; sys.stdout.write('earlier line\r\n' * 4000)" > "$FULL_MOUNT/report_o.txt"
  left=$(( $(stat -f -c '%a*%S' "$FULL_MOUNT") ))
  head -c $(( left > 8192 ? left - 8192 : 0 )) /dev/zero | tr '\0' 'x' >> "$FULL_MOUNT/report_o.txt"
  cp "$FULL_MOUNT/report_o.txt" "$WORK/earlier.txt"
  REPORT_EXE_WIN='T:\Report.exe' drive "$WORK/full.txt" full
  saved=$(result_value "$WORK/full.txt" saved-text)
  echo "     the box said: $saved"
  check "the system's message is shown, not \"saved\"" bash -c '[ -n "$1" ] && [ "${1#saved }" = "$1" ]' _ "$saved"
  check "the earlier report is left byte for byte" cmp -s "$WORK/earlier.txt" "$FULL_MOUNT/report_o.txt"
  check "the new file is removed" bash -c '[ "$(ls "$1" | sort | tr "\n" " ")" = "Report.exe report_o.txt " ]' _ \
    "$FULL_MOUNT"
  rm -f "$WINEPREFIX/dosdevices/t:"
else
  echo "skipped: save onto a full file system (a tmpfs could not be mounted: $(head -c 200 "$WORK/mount.txt"))"
fi

echo "$failures failed"
[ "$failures" -eq 0 ]
