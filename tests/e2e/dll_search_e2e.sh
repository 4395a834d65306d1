#!/usr/bin/env bash
# A marker library (it writes a file when loaded) planted under the names
# Report loads itself, beside Report.exe and in the temporary folder, with Wine told to prefer such copies as Windows does for names that
# are not KnownDLLs. Runs: plain, with %TEMP%\Modlist6.exe held open, and two
# Reports a second apart. No marker may be written; every report keeps its
# companion round. Not planted: names Wine's own libraries load from the
# program's folder whatever it has set (version.dll, winspool.drv,
# iphlpapi.dll, setupapi.dll, shdocvw.dll); static imports are checked in
# tests/app/resources_test.cpp. Modlist6 runs from a folder made for each run
# under a random name, where nothing can be planted beforehand; a copy planted
# beside it is tried in tests/modlist6/modlist6_test.cpp.
source "$(dirname "$0")/lib.sh"
WORK="$BUILD_DIR/e2e/dll_search"
rm -rf "$WORK"; mkdir -p "$WORK/markers"
E2E_PRIVATE_DISPLAY=1
trap stop_all EXIT
make_prefix
start_display || exit 1
# DLL_SEARCH_REPORT: another Report.exe of the same kind (an older build).
install_report ${DLL_SEARCH_REPORT:+"$DLL_SEARCH_REPORT"}
[ -n "${DLL_SEARCH_REPORT:-}" ] && echo "under test instead: $DLL_SEARCH_REPORT"

# Loaded by Report itself (LoadLibrary, delay-loaded imports), in its bitness.
REPORT_NAMES=${DLL_SEARCH_REPORT_NAMES:-"mshtml.dll ieframe.dll psapi.dll dwmapi.dll ws2_32.dll wininet.dll"}
if [ "$REPORT_KIND" = wow64 ]; then report_marker="$FIXTURES32/marker.dll"; else report_marker="$FIXTURES64/marker.dll"; fi

wine cmd /c 'echo %TEMP%' > "$WORK/temp.txt" 2>/dev/null < /dev/null
TEMP_DIR=$(winepath -u "$(tr -d '\r' < "$WORK/temp.txt" | head -n 1)" 2>/dev/null)
check "the prefix's temporary folder is found ($TEMP_DIR)" test -d "$TEMP_DIR"
# A 64-bit browser window with a plug-in, for the companion to list.
mkdir -p "$DRIVE_C/LanternTest"
cp "$BIN64/window_host.exe" "$DRIVE_C/LanternTest/iehost.exe"
cp "$FIXTURES64/lantern_plugin.dll" "$DRIVE_C/LanternTest/"
wine 'C:\LanternTest\iehost.exe' 'load:C:\LanternTest\lantern_plugin.dll' ieframe > /dev/null 2>&1 < /dev/null &
sleep 2

mkdir -p "$DRIVE_C/ReportTool2"
cp "$DRIVE_C/ReportTool/Report.exe" "$DRIVE_C/ReportTool2/Report.exe"
planted=()
for name in $REPORT_NAMES; do
  for dir in "$DRIVE_C/ReportTool" "$DRIVE_C/ReportTool2" "$TEMP_DIR"; do
    cp "$report_marker" "$dir/$name"; planted+=("$dir/$name")
  done
done
echo "     planted beside Report.exe and in the temporary folder: $REPORT_NAMES ($REPORT_KIND)"
overrides=""
for name in $REPORT_NAMES; do overrides="$overrides${overrides:+,}${name%.*}"; done
export WINEDLLOVERRIDES="$overrides=n,b"
export REPORT_MARKER_DIR
REPORT_MARKER_DIR=$(winpath "$WORK/markers")

# The control: a program that leaves the search as it is loads the planted copy.
mkdir -p "$DRIVE_C/Control"
cp "$BIN64/window_host.exe" "$DRIVE_C/Control/host.exe"
cp "$FIXTURES64/marker.dll" "$DRIVE_C/Control/dwmapi.dll"
WINEDLLOVERRIDES="dwmapi=n,b" wine 'C:\Control\host.exe' load:dwmapi.dll exit > /dev/null 2>&1 < /dev/null
check "control: a program that does not limit its search loads a planted dwmapi.dll" \
  bash -c 'ls "$1" | grep -q "^dwmapi.dll\.[0-9]*\.loaded$"' _ "$WORK/markers"
rm -rf "$DRIVE_C/Control" "$WORK/markers"/*

# The 64-bit module lines and no companion failure line, in one report.
check_companion_lines() {  # report file
  if [ "$REPORT_KIND" = wow64 ]; then
    check_companion_round "$1"
  else
    echo "skipped: the companion checks (the x64 build is under test: it lists 64-bit processes itself)"
  fi
}

echo "== a run with the libraries planted"
drive "$WORK/full.txt" full
check_finished_run "$WORK/full.txt"
check_companion_lines "$REPORT_OUT"
cp "$REPORT_OUT" "$WORK/report_planted.txt" 2>/dev/null; rm -f "$REPORT_OUT"

echo "== %TEMP%\\Modlist6.exe held open by another program"
held="$TEMP_DIR/Modlist6.exe"
wine "$BIN64/window_host.exe" "hold:$(winpath "$held")" > /dev/null 2>&1 < /dev/null &
holder=$!
for _ in $(seq 50); do [ -e "$held" ] && break; sleep 0.1; done
drive "$WORK/held.txt" full
check "the file was held during the run" kill -0 "$holder"
kill "$holder" 2>/dev/null; wait "$holder" 2>/dev/null
rm -f "$held"
check_finished_run "$WORK/held.txt"
check_companion_lines "$REPORT_OUT"
cp "$REPORT_OUT" "$WORK/report_held.txt" 2>/dev/null; rm -f "$REPORT_OUT"

echo "== two Reports started a second apart"
wine "$BIN64/report_driver.exe" 'C:\ReportTool\Report.exe' full "$(winpath "$WORK/first.txt")" \
  > "$WORK/driver-first.log" 2>&1 < /dev/null &
first=$!
sleep 1
wine "$BIN64/report_driver.exe" 'C:\ReportTool2\Report.exe' full "$(winpath "$WORK/second.txt")" \
  > "$WORK/driver-second.log" 2>&1 < /dev/null &
second=$!
wait "$first" "$second"
echo "     the runs took $(result_value "$WORK/first.txt" run-ms) ms and $(result_value "$WORK/second.txt" run-ms) ms"
for run in first second; do
  folder=ReportTool; [ "$run" = second ] && folder=ReportTool2
  check "$run Report finished and saved" equals \
    "$(result_value "$WORK/$run.txt" error)|$(result_value "$WORK/$run.txt" saved-text)" \
    "|saved C:\\$folder\\report_o.txt"
  check_companion_lines "$DRIVE_C/$folder/report_o.txt"
  cp "$DRIVE_C/$folder/report_o.txt" "$WORK/report_$run.txt" 2>/dev/null
done

echo "== no planted library was loaded"
check "no marker was written" equals "$(ls "$WORK/markers")" ""
rm -f "${planted[@]}"

echo "$failures failed"
[ "$failures" -eq 0 ]
