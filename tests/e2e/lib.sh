# Shared by the end-to-end scripts and `make run`: a private Wine prefix seeded
# with a fixture machine, a virtual display, and Report driven by report_driver.
set -u
E2E_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
SRC_DIR=$(cd "$E2E_DIR/../.." && pwd)
: "${BUILD_DIR:=$SRC_DIR/build}"
source "$SRC_DIR/tests/wine-env.sh"
BIN64="$BUILD_DIR/win64/bin"
FIXTURES64="$BIN64/fixtures/x64"
FIXTURES32="$BUILD_DIR/win32/bin/fixtures/x86"

# Starts Xvfb on a free display unless one is given; sets DISPLAY.
start_display() {
  if [ -n "${DISPLAY:-}" ] && [ -z "${E2E_PRIVATE_DISPLAY:-}" ]; then return 0; fi
  local n
  for n in $(seq 90 140); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp > "$WORK/xvfb.log" 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && return 0; sleep 0.1; done
    kill "$XVFB_PID" 2>/dev/null
  done
  echo "no free display for Xvfb" >&2
  return 1
}

stop_all() {
  [ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null
  return 0
}

# A fresh prefix under $WORK, with the crash dialog off and captioned windows.
make_prefix() {
  export WINEPREFIX="$WORK/prefix"
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  # Without a display wineboot starts no desktop, so the server ends by itself.
  (
    unset DISPLAY
    WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f
    wineserver -w
  ) > "$WORK/wineboot.log" 2>&1 < /dev/null
  wineserver -p
  DRIVE_C="$WINEPREFIX/drive_c"
}

# Imports a .reg file (UTF-16LE with BOM for non-ASCII text) into the prefix.
reg_import() { wine regedit /S "$(winpath "$1")" > /dev/null 2>&1 < /dev/null; }

# Every seed script adds its part of the fixture machine. They see WINEPREFIX,
# DRIVE_C, FIXTURES64, FIXTURES32, BIN64 and the functions above.
seed_machine() {
  local seed
  for seed in "$E2E_DIR"/seed/*.sh; do
    [ -f "$seed" ] || continue
    # shellcheck disable=SC1090
    source "$seed"
  done
}

# Registry export and file list of the prefix, to prove Report changed nothing.
machine_state() {
  local out=$1
  wine regedit /E "$(winpath "$out.reg")" > /dev/null 2>&1 < /dev/null
  (cd "$DRIVE_C" && find . -path ./users/*/Temp -prune -o -path ./windows/temp -prune -o \
     -type f -printf '%p %s %T@\n' | sort) > "$out.files"
}

# A registry export as UTF-8 text without what Wine itself writes: time stamps,
# and the display-driver keys it adds when a program first opens a window on a
# new display.
registry_text() {
  iconv -f UTF-16LE -t UTF-8 "$1" | tr -d '\r' | grep -v -E '^(#time=|;)' | awk '
    /^\[/ { key = tolower($0)
            skip = (key ~ /^\[hkey_local_machine\\system\\currentcontrolset\\control\\video(\\|\])/ ||
                    key ~ /^\[hkey_local_machine\\hardware\\devicemap\\video\]/) }
    !skip { print }'
}

install_report() {
  mkdir -p "$DRIVE_C/ReportTool"
  cp "$BIN64/Report64.exe" "$DRIVE_C/ReportTool/Report.exe"
  REPORT_EXE_WIN='C:\ReportTool\Report.exe'
  REPORT_OUT="$DRIVE_C/ReportTool/report_o.txt"
}

# Runs one scenario of the driver; its "key: value" results land in $1.
drive() {
  local result=$1 scenario=$2; shift 2
  wine "$BIN64/report_driver.exe" "$REPORT_EXE_WIN" "$scenario" "$(winpath "$result")" "$@" \
    > "$WORK/driver-$scenario.log" 2>&1 < /dev/null
}

result_value() { sed -n "s/^$2: //p" "$1" | head -n 1; }
