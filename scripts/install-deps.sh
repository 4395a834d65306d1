#!/usr/bin/env bash
# Installs what building and testing need on a Debian machine, only if missing;
# never removes anything. 32-bit Wine is added only where the kernel runs 32-bit
# Linux programs: on a kernel that refuses them, wine32 would break /usr/bin/wine.
set -eu
sudo=""; [ "$(id -u)" = 0 ] || sudo=sudo
export DEBIAN_FRONTEND=noninteractive
need=()
command -v i686-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-i686)
command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-x86-64)
[ -x /usr/lib/wine/wine64 ] || need+=(wine wine64)
command -v Xvfb >/dev/null || need+=(xvfb xauth)
[ -d /usr/share/fonts/opentype/ipafont-gothic ] || need+=(fonts-ipafont-gothic)
command -v import >/dev/null && import -version 2>/dev/null | grep -q ImageMagick || need+=(imagemagick)
command -v localedef >/dev/null || need+=(locales)
command -v cmake >/dev/null || need+=(cmake)
command -v clang++ >/dev/null || need+=(clang)
[ -f /usr/src/googletest/CMakeLists.txt ] || need+=(googletest)
command -v python3 >/dev/null || need+=(python3)
# A real Chromium extension that the browser-profile tests copy into a profile.
[ -f /usr/share/chromium/extensions/ublock-origin/manifest.json ] || need+=(webext-ublock-origin-chromium)
command -v osslsigncode >/dev/null || need+=(osslsigncode)
command -v openssl >/dev/null || need+=(openssl)
updated=""
if [ ${#need[@]} -gt 0 ]; then
  $sudo apt-get update -qq; updated=1
  $sudo apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

# 32-bit Wine: the i386 C library first, then wine32 (with the X libraries its
# display driver loads) only if that library's loader runs here.
if [ "$(dpkg --print-architecture)" = amd64 ]; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386; updated=""
  fi
  if ! dpkg -s libc6:i386 >/dev/null 2>&1; then
    [ -n "$updated" ] || { $sudo apt-get update -qq; updated=1; }
    $sudo apt-get install -y -qq --no-install-recommends libc6:i386 || true
  fi
  if /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    need32=()
    for p in wine32 libxrandr2 libxrender1 libxi6 libxcursor1 libxinerama1 libxcomposite1 libgnutls30; do
      dpkg -s "$p:i386" >/dev/null 2>&1 || need32+=("$p:i386")
    done
    if [ ${#need32[@]} -gt 0 ]; then
      [ -n "$updated" ] || { $sudo apt-get update -qq; updated=1; }
      $sudo apt-get install -y -qq --no-install-recommends "${need32[@]}"
    fi
  else
    echo "install-deps: this kernel does not run 32-bit Linux programs; 32-bit Wine is not installed" >&2
  fi
fi
# Japanese file names need the Linux locale behind Wine's code page 932.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP.utf8$'; then
  $sudo localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
