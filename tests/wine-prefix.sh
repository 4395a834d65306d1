#!/usr/bin/env bash
# Creates the test prefix once (parallel tests racing to create one fail), then
# keeps its server alive so each later start is fast. "stop" ends the server.
set -eu
source "$(dirname "$0")/wine-env.sh"
DISPLAY_FILE="$BUILD_DIR/test-display"
if [ "${1:-}" = stop ]; then
  wineserver -k 2>/dev/null || true
  if [ -f "$DISPLAY_FILE" ]; then
    kill "$(sed -n 's/^pid=//p' "$DISPLAY_FILE")" 2>/dev/null || true
    rm -f "$DISPLAY_FILE"
  fi
  exit 0
fi
# Test programs create windows (dialogs, edit controls, hot keys). Without a
# display they get a private virtual one, shared by every test program of this
# run through $DISPLAY_FILE and ended by "stop".
if [ -z "${DISPLAY:-}" ]; then
  shown=""
  if [ -f "$DISPLAY_FILE" ]; then
    pid=$(sed -n 's/^pid=//p' "$DISPLAY_FILE"); shown=$(sed -n 's/^display=//p' "$DISPLAY_FILE")
    kill -0 "$pid" 2>/dev/null && [ -e "/tmp/.X11-unix/X${shown#:}" ] || shown=""
  fi
  if [ -z "$shown" ]; then
    for n in $(seq 150 199); do
      [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
      Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp > "$BUILD_DIR/test-xvfb.log" 2>&1 < /dev/null &
      for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
      if [ -e "/tmp/.X11-unix/X$n" ]; then
        printf 'display=:%s\npid=%s\n' "$n" "$!" > "$DISPLAY_FILE"; shown=":$n"; break
      fi
      kill "$!" 2>/dev/null || true
    done
  fi
  [ -n "$shown" ] && export DISPLAY="$shown"
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  # Without a display wineboot starts no desktop, so the server ends by itself.
  # Wine links the user's folders to the Linux home folder: a home of the
  # prefix's own keeps tests that move them inside it.
  (
    unset DISPLAY
    export HOME="$WINEPREFIX.home"; mkdir -p "$HOME"
    WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i || true
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f
    wineserver -w
  ) > "$BUILD_DIR/wineboot.log" 2>&1 < /dev/null
fi
# The server outlives this script: keep it off the caller's output pipe.
wineserver -p > /dev/null 2>&1 < /dev/null || true  # already running is fine
wine cmd /c exit > /dev/null 2>&1 < /dev/null || true
# Once per suite run, with the display set: do 32-bit programs run here?
detect_32bit
printf 'runs=%s\nprobe=%s\n' "$RUNS_32BIT" "$RUNS_32BIT_PROBE" > "$BUILD_DIR/runs-32bit.txt"
if [ "$RUNS_32BIT" = 1 ]; then
  echo "32-bit Windows programs run here ($RUNS_32BIT_PROBE): the 32-bit test programs run too"
else
  echo "skipped: the 32-bit test programs (this machine does not run 32-bit programs: $RUNS_32BIT_PROBE)"
fi
