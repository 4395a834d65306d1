#!/usr/bin/env bash
# End to end on a hostile machine: huge and malformed browser data, registry
# values of wrong types and sizes, 20,000-entry keys and folders, printf
# directives and cp932 0x5C-trail characters in names, a temporary folder named
# with a blank, "-n" and "%", modules with odd version resources, and windows
# that come and go while Report runs. Report must finish, keep all its sections,
# say where it cut, and change nothing. Prints the time of each section.
source "$(dirname "$0")/lib.sh"
WORK="$BUILD_DIR/e2e/hostile"
rm -rf "$WORK"; mkdir -p "$WORK"
E2E_PRIVATE_DISPLAY=1
trap stop_all EXIT
make_prefix
start_display || exit 1

choose_report
# Machine-wide keys go into every registry view the machine has, so the hostile
# values meet either build of Report.
hostile_import() {
  wine reg import "$(winpath "$1")" /reg:64 > /dev/null 2>&1 < /dev/null
  [ "$RUNS_32BIT" = 1 ] && wine reg import "$(winpath "$1")" /reg:32 > /dev/null 2>&1 < /dev/null
  return 0
}
seed_start=$(date +%s)
for seed in "$E2E_DIR"/hostile/*.sh; do
  # shellcheck disable=SC1090
  source "$seed"
done
echo "     seeding took $(( $(date +%s) - seed_start )) s"
install_report

failures=0

machine_state "$WORK/before"
# Registry links back to their parent exist only while Report runs: the
# registry export of the machine state would follow them without end.
check "registry links back to their parent are made" hostile_registry_links make
echo "== full run on the hostile machine, timed by section, then save"
drive "$WORK/timed.txt" timed
check "the registry links are removed again" hostile_registry_links remove
check_finished_run "$WORK/timed.txt"
[ -f "$REPORT_OUT" ] && cp "$REPORT_OUT" "$WORK/report_hostile.txt"
python3 "$E2E_DIR/hostile/check_hostile.py" "$WORK/report_hostile.txt" > "$WORK/checks.txt" 2>&1
cat "$WORK/checks.txt"
failures=$((failures + $(grep -c '^FAIL' "$WORK/checks.txt")))

machine_state "$WORK/after"
check "the machine's registry is unchanged" diff <(registry_text "$WORK/before.reg") <(registry_text "$WORK/after.reg")
check "the machine's files are unchanged (but the report), the temporary folder included" diff \
  <(grep -v 'ReportTool/report_o.txt' "$WORK/before.files") <(grep -v 'ReportTool/report_o.txt' "$WORK/after.files")

run_ms=$(result_value "$WORK/timed.txt" run-ms)
echo "== time of each section (ms), whole run ${run_ms:-?} ms," \
  "peak working set $(result_value "$WORK/timed.txt" peak-working-set-bytes) bytes"
python3 "$E2E_DIR/hostile/check_hostile.py" --table "$WORK/timed.txt"
check "all 25 section headers seen live (seen $(result_value "$WORK/timed.txt" sections-seen))" \
  equals "$(result_value "$WORK/timed.txt" sections-seen)" "25"

echo "$failures failed"
[ "$failures" -eq 0 ]
