#!/usr/bin/env bash
# `make bench`: the log benchmark with the views on a virtual display, one
# whole run of Report for its run time and peak working set, on the fixture
# machine and on a heavy one (the hostile machine's heavy states), the per-item
# cost of the product-module scan (1,000 / 4,000 / 12,000 files) and of the
# registry dump (5,000 / 20,000 keys).
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
echo "== one whole run on a heavy machine: 12,000 client files, 20,000 device keys, 1,500 Chrome profiles"
# shellcheck disable=SC1091
source "$E2E_DIR/hostile/heavy.sh"
drive "$WORK/heavy.txt" full
echo "run time:                     $(result_value "$WORK/heavy.txt" run-ms) ms"
echo "peak working set of Report:   $(result_value "$WORK/heavy.txt" peak-working-set-bytes) bytes"

echo "== per-item cost of the walks that grow with the machine (log in memory, no views)"
bench_tool="$BIN64/probe_bench.exe"
[ "$REPORT_KIND" = wow64 ] && bench_tool="$BUILD_DIR/win32/bin/probe_bench.exe"
echo "   $(basename "$(dirname "$(dirname "$bench_tool")")") build; product-module scan of a folder, dump of a key's subkeys"
python3 - "$DRIVE_C/bench" "$FIXTURES32/lgcore.dll" "$FIXTURES32/lgmsfile.dll" "$WORK/bench-keys" <<'PY'
import os, shutil, sys
root, lgcore, lgms, regs = sys.argv[1:5]
for n in (1000, 4000, 12000):
    folder = os.path.join(root, "files%d" % n)
    os.makedirs(folder, exist_ok=True)
    originals = [os.path.join(folder, "lgcore.dll"), os.path.join(folder, "lgmsfile.dll")]
    shutil.copyfile(lgcore, originals[0]); shutil.copyfile(lgms, originals[1])
    for i in range(n - 2):  # one in ten without a version resource, one in ten from Microsoft
        path = os.path.join(folder, "m%05d.dll" % i)
        if i % 10 == 5:
            open(path, "wb").write(b"no version resource")
        else:
            os.link(originals[1 if i % 10 == 9 else 0], path)
for n in (5000, 20000):
    out = ["Windows Registry Editor Version 5.00", ""]
    for i in range(n):
        out += ["[HKEY_LOCAL_MACHINE\\SYSTEM\\ReportBench\\keys%d\\{0.0.0.00000000}.{bench-%05d}]" % (n, i),
                '"FriendlyName"="Speakers (Dock %d)"' % i, '"ConfigFlags"=dword:00000000', ""]
    open("%s%d.reg" % (regs, n), "wb").write(("\r\n".join(out) + "\r\n").encode("ascii"))
PY
for n in 5000 20000; do
  wine reg import "$(winpath "$WORK/bench-keys$n.reg")" /reg:64 > /dev/null 2>&1 < /dev/null
done
# The largest of each also against the platform's floor for the same items.
for n in 1000 4000 12000; do
  floor=""; [ "$n" = 12000 ] && floor=floor
  wine "$bench_tool" files "C:\\bench\\files$n\\" $floor > "$WORK/bench-files$n.txt" 2>&1 < /dev/null
  cat "$WORK/bench-files$n.txt"
done
for n in 5000 20000; do
  floor=""; [ "$n" = 20000 ] && floor=floor
  wine "$bench_tool" keys "SYSTEM\\ReportBench\\keys$n" $floor > "$WORK/bench-keys$n.txt" 2>&1 < /dev/null
  cat "$WORK/bench-keys$n.txt"
done
