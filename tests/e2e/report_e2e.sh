#!/usr/bin/env bash
# End to end: a fixture machine in a private prefix, Report on a virtual display
# driven as a user would, the saved reports checked byte for byte where the
# wording is fixed, and the machine compared before and after.
source "$(dirname "$0")/lib.sh"
WORK="$BUILD_DIR/e2e/report"
rm -rf "$WORK"; mkdir -p "$WORK"
E2E_PRIVATE_DISPLAY=1
trap stop_all EXIT
make_prefix
# The display first: the first Wine program a seed starts brings up the desktop,
# which stays without a display if none exists yet (and a 32-bit program started
# without one leaves every later 32-bit program of the session without windows).
start_display || exit 1
choose_report
seed_machine
install_report

check "every seeded key is seen from Report's side ($REPORT_REG_VIEW-bit view)" check_seeded_keys

machine_state "$WORK/before"

echo "== full run, then save"
drive "$WORK/full.txt" full
check_finished_run "$WORK/full.txt"
check "report follows the format and the fixture machine's expectations" \
  python3 "$E2E_DIR/check_report.py" --kind "$REPORT_KIND" "$REPORT_OUT"
if [ "$REPORT_KIND" = wow64 ]; then
  check_companion_round "$REPORT_OUT"
else
  echo "skipped: the companion round (this machine does not run 32-bit programs, so the x64 build lists 64-bit processes itself)"
fi
cp "$REPORT_OUT" "$WORK/report_full.txt"
echo "     run took $(result_value "$WORK/full.txt" run-ms) ms," \
  "peak working set $(result_value "$WORK/full.txt" peak-working-set-bytes) bytes"

machine_state "$WORK/after"
rm -f "$REPORT_OUT"
# Only the saved report may differ; Wine's own bookkeeping values are filtered.
check "the machine's registry is unchanged" diff <(registry_text "$WORK/before.reg") <(registry_text "$WORK/after.reg")
check "the machine's files are unchanged (but the report)" diff \
  <(grep -v 'ReportTool/report_o.txt' "$WORK/before.files") <(grep -v 'ReportTool/report_o.txt' "$WORK/after.files")

echo "== save during the run, answered No"
drive "$WORK/save-no.txt" save-no
check "driver held the run and answered" equals "$(result_value "$WORK/save-no.txt" error)" ""
check "confirmation asks first" equals "$(result_value "$WORK/save-no.txt" confirm-text)" \
  '調査の途中ですが、保存しますか？\n\n調査が終了した際には終了メッセージが表示されます。\n\n調査終了まで待つ場合は [いいえ(N)] を押し、\n終了メッセージが表示されるまでお待ちください。\n\n10分以上待っても終了メッセージが表示されない場合は、\n[はい(Y)] を押してファイルに保存してください。'
check "No writes nothing" equals "$(result_value "$WORK/save-no.txt" file-after-no)" "absent"
rm -f "$REPORT_OUT"

echo "== save during the run, answered Yes"
drive "$WORK/save-yes.txt" save-yes
check "driver held the run and answered" equals "$(result_value "$WORK/save-yes.txt" error)" ""
check "Yes saves" equals "$(result_value "$WORK/save-yes.txt" saved-text)" 'saved C:\ReportTool\report_o.txt'
check "a report saved during the run has an all-zero time" \
  python3 "$E2E_DIR/check_report.py" --zero-time --partial "$REPORT_OUT"
rm -f "$REPORT_OUT"

echo "== close during the run"
drive "$WORK/close.txt" close-during
check "driver held the run and closed" equals "$(result_value "$WORK/close.txt" error)" ""
ms=$(result_value "$WORK/close.txt" exit-ms)
check "closing ends Report within two seconds (${ms:-?} ms)" test "${ms:-99999}" -lt 2000
check "closing writes no file" equals "$(result_value "$WORK/close.txt" file-after-close)" "absent"

echo "== save with the file dialog"
target="$DRIVE_C/ReportTool/saved_as.txt"
drive "$WORK/save-as.txt" save-as 'C:\ReportTool\saved_as.txt'
check "driver used the save dialog" equals "$(result_value "$WORK/save-as.txt" error)" ""
suggested=$(result_value "$WORK/save-as.txt" suggested-name)
check "suggested name is the end date" bash -c '[[ "$1" =~ [0-9]{8}\.txt$ ]] && [[ "$1" != *00000000.txt ]]' _ "$suggested"
check "saved where chosen" equals "$(result_value "$WORK/save-as.txt" saved-text)" 'saved C:\ReportTool\saved_as.txt'
if [ -f "$target" ]; then
  day=$(head -c 60 "$target" | iconv -f CP932 -t UTF-8 | sed -n 's/.*調査結果 \([0-9]*\)\/\([0-9]*\)\/\([0-9]*\) .*/\1\2\3/p')
  check "suggested name matches the header date" bash -c '[[ "$1" == *"$2.txt" ]]' _ "$suggested" "$day"
else
  check "file saved with the dialog exists" false
fi

echo "$failures failed"
[ "$failures" -eq 0 ]
