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
  rm -rf "$WINEPREFIX" "$WINEPREFIX.home"
  mkdir -p "$WINEPREFIX"
  # Without a display wineboot starts no desktop, so the server ends by itself.
  # Wine links the user's folders (Documents and others) to the Linux home
  # folder: a home of the prefix's own keeps a test that moves them inside it.
  (
    unset DISPLAY
    export HOME="$WINEPREFIX.home"; mkdir -p "$HOME"
    WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f
    wineserver -w
  ) > "$WORK/wineboot.log" 2>&1 < /dev/null
  wineserver -p
  DRIVE_C="$WINEPREFIX/drive_c"
}

# Which Report runs here: the shipped 32-bit Report.exe where this machine runs
# 32-bit programs, the x64 build of the same sources where it does not. Sets
# REPORT_UNDER_TEST, REPORT_KIND (wow64 or x64) and REPORT_REG_VIEW, the
# registry view that Report reads machine-wide keys through, which every seed
# writes. Prints one line saying what is under test. Call it once the display
# is set: under Wine, a 32-bit program started without one leaves every later
# 32-bit program of the same server session unable to open windows.
choose_report() {
  [ -n "${REPORT_KIND:-}" ] && return 0
  if [ -n "${REPORT_E2E_X64:-}" ]; then  # to try the x64 path where 32-bit runs
    RUNS_32BIT=0; RUNS_32BIT_PROBE="REPORT_E2E_X64 is set"
  else
    detect_32bit
  fi
  if [ "$RUNS_32BIT" = 1 ]; then
    REPORT_UNDER_TEST="$BUILD_DIR/dist/Report.exe"; REPORT_KIND=wow64; REPORT_REG_VIEW=32
    echo "under test: build/dist/Report.exe (32-bit, WoW64)"
  else
    REPORT_UNDER_TEST="$BIN64/Report64.exe"; REPORT_KIND=x64; REPORT_REG_VIEW=64
    echo "under test: build/win64/bin/Report64.exe (x64; this machine does not run 32-bit programs: $RUNS_32BIT_PROBE)"
  fi
}

# Seeding goes through reg.exe with the view named, so a seed means the same on
# both kinds of machine (a plain `wine reg` is the 32-bit one where wine32 is
# installed). Each key seeded is listed for check_seeded_keys.
SEEDED_KEYS=""
seed_key_list() {  # view key
  SEEDED_KEYS="${SEEDED_KEYS:-$WORK/seeded-keys.txt}"; printf '%s %s\n' "$1" "$2" >> "$SEEDED_KEYS"
}

# Imports a .reg file (UTF-16LE with BOM for non-ASCII text) into Report's view,
# or into the view given (32 or 64) for keys that Windows keeps in one view.
reg_import() {
  choose_report > /dev/null
  local view=${2:-$REPORT_REG_VIEW} key
  wine reg import "$(winpath "$1")" "/reg:$view" > /dev/null 2>&1 < /dev/null
  while IFS= read -r key; do seed_key_list "$view" "$key"; done < <(
    if [ "$(head -c 2 "$1" | od -An -tx1 | tr -d ' ')" = fffe ]; then iconv -f UTF-16LE -t UTF-8 "$1"; else cat "$1"; fi \
      | tr -d '\r' | sed -n 's/^\[\([^-].*\)\]$/\1/p')
}

# `seed_reg add KEY [options]`: reg.exe in Report's view, forced, quiet.
seed_reg() {
  choose_report > /dev/null
  local verb=$1 key=$2; shift 2
  wine reg "$verb" "$key" "$@" "/reg:$REPORT_REG_VIEW" /f > /dev/null 2>&1 < /dev/null
  [ "$verb" = add ] && seed_key_list "$REPORT_REG_VIEW" "$key"
  return 0
}

# Reads every seeded key back as Report would: the 32-bit Report's keys with
# the 32-bit reg.exe and no view named (its own view); otherwise, and for keys
# seeded outside Report's view, in the view named. Keys named in other than
# ASCII are counted, not read (command-line arguments do not carry them
# reliably).
check_seeded_keys() {
  local reader=reg view key missing=0 checked=0 skipped=0 flag
  [ "$REPORT_REG_VIEW" = 32 ] && reader='C:\windows\syswow64\reg.exe'
  [ -n "${SEEDED_KEYS:-}" ] && [ -f "$SEEDED_KEYS" ] || { echo "no keys were seeded"; return 1; }
  while read -r view key; do
    if LC_ALL=C grep -q '[^ -~]' <<< "$key"; then skipped=$((skipped + 1)); continue; fi
    checked=$((checked + 1))
    flag=(); [ "$view" = 32 ] && [ "$REPORT_REG_VIEW" = 32 ] || flag=("/reg:$view")
    wine "$reader" query "$key" "${flag[@]}" > /dev/null 2>&1 < /dev/null && continue
    echo "     seeded key not seen from Report's side: $key ($view-bit view)"; missing=$((missing + 1))
  done < <(sort -u "$SEEDED_KEYS")
  echo "     $checked seeded keys read back by a $REPORT_REG_VIEW-bit reader, $skipped with non-ASCII names not read"
  [ "$missing" -eq 0 ]
}

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

# Copies Report (the one under test, or the file given) to C:\ReportTool.
install_report() {
  choose_report
  mkdir -p "$DRIVE_C/ReportTool"
  cp "${1:-$REPORT_UNDER_TEST}" "$DRIVE_C/ReportTool/Report.exe"
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

failures=0
check() {  # check <description> <condition...>
  local what=$1; shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}
equals() { [ "$1" = "$2" ] || { echo "     got: [$1]"; echo "     expected: [$2]"; return 1; }; }

# What every whole run driven to its end and saved with "save" must show.
check_finished_run() {  # driver result file
  check "driver finished the run" equals "$(result_value "$1" error)" ""
  check "finished message" equals "$(result_value "$1" finished-text)" \
    '調査終了しました。\n[save 保存]ボタンを押して、ファイルに保存してください。'
  check "saved message names the file" equals "$(result_value "$1" saved-text)" \
    'saved C:\ReportTool\report_o.txt'
  check "program ended with code 0" equals "$(result_value "$1" exit-code)" "0"
  check "report written" test -s "$REPORT_OUT"
}

# The companion round of a 32-bit Report's saved report: the 64-bit frame
# process was listed by the companion (extracted, asked, ended and deleted
# within the run).
check_companion_round() {  # report file
  local report_utf8
  report_utf8=$(iconv -f CP932 -t UTF-8 "$1" | tr -d '\r')
  check "the companion answered with module lines (16-digit handles)" \
    grep -q -E '^[0-9A-F]{16}, [^,]+, ' <<< "$report_utf8"
  check "no companion failure line" bash -c '! grep -E "$1" <<< "$2"' _ \
    '(CreateNamedPipe|CreateProcess|ConnectNamedPipe) 失敗|Modlist6 との通信路を開けない|Modlist6.exe (を削除できない|を書き込めない|のフォルダを)|Modlist6.exe の展開先パスが長すぎる|リソースに Modlist6.exeが含まれない|Modlist6.*(応答|打ち切り)' "$report_utf8"
  check "Modlist6.exe and its folder are gone from the temporary folders" \
    equals "$(find "$DRIVE_C/users" "$DRIVE_C/windows/temp" -iname 'modlist6*' 2>/dev/null)" ""
}
