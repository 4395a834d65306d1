#!/usr/bin/env bash
# Installs what building and testing need on a Debian machine, only if missing.
# 64-bit Wine alone: kernels without 32-bit ELF support cannot start Wine's
# 32-bit loader, so every program run here is x64 (see README).
set -eu
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
# Signing the release, and the throwaway certificate its test makes.
command -v osslsigncode >/dev/null || need+=(osslsigncode)
command -v openssl >/dev/null || need+=(openssl)
# A real Chromium extension that the browser-profile tests copy into a profile.
[ -f /usr/share/chromium/extensions/ublock-origin/manifest.json ] || need+=(webext-ublock-origin-chromium)
if [ ${#need[@]} -gt 0 ]; then
  sudo=""; [ "$(id -u)" = 0 ] || sudo=sudo
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${need[@]}"
fi
# Japanese file names need the Linux locale behind Wine's code page 932.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP.utf8$'; then
  sudo=""; [ "$(id -u)" = 0 ] || sudo=sudo
  $sudo localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
