# Sourced by the scripts that run Windows programs: one prefix per build folder,
# code page 932, no debug noise. The 64-bit loader runs every test program.
: "${BUILD_DIR:=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build}"
export BUILD_DIR
export WINEPREFIX="${WINEPREFIX:-$BUILD_DIR/wineprefix}"
export WINEDEBUG=-all
export LC_ALL=ja_JP.UTF-8
export WINEARCH=win64
# The Wine path of a Linux path (drive Z: is the Linux root).
winpath() { local p; p=$(readlink -f "$1"); printf 'Z:%s' "${p//\//\\}"; }

# Whether this machine runs 32-bit Windows programs: a tiny 32-bit program must
# start under Wine and find itself under WOW64. Kernels without 32-bit support
# cannot start Wine's 32-bit loader at all. Needs WINEPREFIX; sets RUNS_32BIT
# (1 or 0) and RUNS_32BIT_PROBE (what the probe said, or why it said nothing).
detect_32bit() {
  local probe="$BUILD_DIR/win32/bin/wow64_probe.exe" out
  RUNS_32BIT=0
  if [ ! -f "$probe" ]; then
    RUNS_32BIT_PROBE="the 32-bit probe is not built ($probe)"
    return 0
  fi
  out=$(mktemp -d)
  # Both fail where 32-bit programs do not run; callers run under set -e.
  LC_ALL=C timeout 120 wine "$probe" "$(winpath "$out")\\probe.txt" > "$out/wine.txt" 2>&1 < /dev/null || true
  RUNS_32BIT_PROBE=$(grep -a -m 1 -o 'IsWow64Process ok=[01] wow64=[01]' "$out/probe.txt" 2>/dev/null || true)
  if [ -z "$RUNS_32BIT_PROBE" ]; then
    RUNS_32BIT_PROBE="the 32-bit probe did not start: $(head -c 300 "$out/wine.txt" | LC_ALL=C tr -s '\n\r' '  ' | LC_ALL=C tr -c ' -~' '?')"
  elif [ "$RUNS_32BIT_PROBE" = "IsWow64Process ok=1 wow64=1" ]; then
    RUNS_32BIT=1
  fi
  rm -rf "$out"
}
