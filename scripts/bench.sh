#!/usr/bin/env bash
# `make bench`: the log benchmark with the views on a virtual display, then one
# whole run of Report for its run time and peak working set.
source "$(dirname "$0")/../tests/e2e/lib.sh"
WORK="$BUILD_DIR/bench"
mkdir -p "$WORK"
trap stop_all EXIT
make_prefix
E2E_PRIVATE_DISPLAY=1 start_display || exit 1
echo "== Report log with views attached"
wine "$BIN64/log_bench.exe" > "$WORK/log_bench.txt" 2>&1 < /dev/null
cat "$WORK/log_bench.txt"
echo "== one whole run of Report"
install_report
drive "$WORK/run.txt" full
echo "run time:                     $(result_value "$WORK/run.txt" run-ms) ms"
echo "peak working set of Report:   $(result_value "$WORK/run.txt" peak-working-set-bytes) bytes"
