#!/usr/bin/env bash
# `make run`: Report on a fixture-free Wine prefix, driven to its end, saved,
# and shown. Uses the current display, or a private virtual one without it.
source "$(dirname "$0")/../tests/e2e/lib.sh"
WORK="$BUILD_DIR/run"
mkdir -p "$WORK"
trap stop_all EXIT
if [ ! -f "$WORK/prefix/system.reg" ]; then
  echo "creating the Wine prefix (code page 932) in $WORK/prefix ..."
  make_prefix
else
  export WINEPREFIX="$WORK/prefix"; DRIVE_C="$WINEPREFIX/drive_c"; wineserver -p
fi
[ -n "${DISPLAY:-}" ] || start_display || exit 1
install_report
rm -f "$REPORT_OUT"
echo "running Report ..."
REPORT_DRIVER_SCREENSHOT="$(winpath "$WORK")\\finished.bmp" drive "$WORK/result.txt" full
if [ -n "$(result_value "$WORK/result.txt" error)" ]; then
  echo "Report could not be driven: $(result_value "$WORK/result.txt" error)"; exit 1
fi
cp "$REPORT_OUT" "$WORK/report_o.txt"
shot="$WORK/finished_dialog.png"
if [ -f "$WORK/finished.bmp" ]; then convert "$WORK/finished.bmp" -trim "$shot" 2>/dev/null || cp "$WORK/finished.bmp" "${shot%.png}.bmp"; fi
echo
echo "report:     $WORK/report_o.txt  (cp932, CR LF)"
echo "screenshot: $shot"
echo "run:        $(result_value "$WORK/result.txt" run-ms) ms"
echo
echo "User results:"
iconv -f CP932 -t UTF-8 "$WORK/report_o.txt" | tr -d '\r' \
  | sed -n '/^ユーザ用結果$/,/^サポート用概要$/p' | sed '1,2d;$d' | sed '$d' | sed '$d'
