#!/usr/bin/env bash
# Creates the test prefix once (parallel tests racing to create one fail), then
# keeps its server alive so each later start is fast. "stop" ends the server.
set -eu
source "$(dirname "$0")/wine-env.sh"
if [ "${1:-}" = stop ]; then wineserver -k 2>/dev/null || true; exit 0; fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i > "$BUILD_DIR/wineboot.log" 2>&1 || true
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >> "$BUILD_DIR/wineboot.log" 2>&1
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >> "$BUILD_DIR/wineboot.log" 2>&1
  wineserver -w
fi
# The server outlives this script: keep it off the caller's output pipe.
wineserver -p > /dev/null 2>&1 < /dev/null || true  # already running is fine
wine cmd /c exit > /dev/null 2>&1 < /dev/null || true
