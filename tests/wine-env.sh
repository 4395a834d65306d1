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
