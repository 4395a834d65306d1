#!/usr/bin/env bash
# `make release`: signs Modlist6.exe, links Report.exe around the signed
# companion, signs Report.exe, and writes the release folder with SHA256SUMS
# and RELEASE.txt. Without a certificate the folder is made unsigned.
#
#   REPORT_SIGN_PFX            PKCS#12 file with the code-signing key and certificate
#   REPORT_SIGN_PASS_FILE      file whose first line is the PKCS#12 password
#   REPORT_SIGN_TIMESTAMP_URL  optional RFC 3161 time-stamp server
#
# The password only ever travels in files of a private folder: never on a
# command line or in the environment, where other processes could read it.
set -eu -o pipefail
SRC_DIR=$(cd "$(dirname "$0")/.." && pwd)
: "${BUILD_DIR:=$SRC_DIR/build}"
: "${RELEASE_DIR:=$BUILD_DIR/release}"
RELEASE_DIR=$(realpath -m "$RELEASE_DIR")
PFX=${REPORT_SIGN_PFX:-}
PASS_FILE=${REPORT_SIGN_PASS_FILE:-}
TS_URL=${REPORT_SIGN_TIMESTAMP_URL:-}
MODLIST6="$BUILD_DIR/win64/bin/Modlist6.exe"
WIN32_TREE="$BUILD_DIR/win32"

work=""
done_ok=0
fail() {
  echo "release: $*" >&2
  exit 1
}
# Every folder this script makes carries this marker. Only a folder that has
# it and nothing but the release files is ever replaced: not an empty folder,
# not a user's folder that merely holds files of the same names.
MARKER=.report-release
is_release_folder() {
  [ -d "$1" ] && [ ! -L "$1" ] && [ -f "$1/$MARKER" ] || return 1
  [ -z "$(find "$1" -mindepth 1 -maxdepth 1 ! -name Report.exe ! -name SHA256SUMS ! -name RELEASE.txt ! -name $MARKER)" ]
}
cleanup() {
  # Only this run's own work folder goes; a folder that was there before a
  # failed run stays exactly as it was (put back if the run ended mid-swap).
  if [ -n "$work" ]; then
    if [ "$done_ok" != 1 ] && [ -e "$work/previous" ]; then
      if [ ! -e "$RELEASE_DIR" ] && mv -T "$work/previous" "$RELEASE_DIR"; then
        :
      else
        # Something else took the name meanwhile: the earlier release is kept.
        echo "release: the earlier release could not be put back; it is kept in $work/previous" >&2
        rm -rf "$work/out"
        work=""
      fi
    fi
    [ -z "$work" ] || rm -rf "$work"
  fi
  if [ "$done_ok" != 1 ]; then
    if [ -e "$RELEASE_DIR" ]; then
      echo "release: nothing was released; $RELEASE_DIR is untouched, as it was before this run" >&2
    else
      echo "release: nothing was released; no $RELEASE_DIR was written" >&2
    fi
  fi
}
# Shows the tail of a tool's log after a failed step.
show_log() { sed -e 's/^/  | /' "$1" | tail -n 15 >&2; }

trap cleanup EXIT
trap 'exit 130' INT TERM
if [ -e "$RELEASE_DIR" ] && ! is_release_folder "$RELEASE_DIR"; then
  fail "$RELEASE_DIR is not a release folder made by an earlier run: choose another RELEASE_DIR"
fi
[ -f "$MODLIST6" ] || fail "$MODLIST6 is missing: run make build first"
[ -f "$WIN32_TREE/CMakeCache.txt" ] || fail "$WIN32_TREE is not configured: run make build first"

sign=0
if [ -n "$PFX" ] || [ -n "$PASS_FILE" ]; then
  # Half a configuration is a mistake, not a wish for an unsigned release.
  [ -n "$PFX" ] || fail "REPORT_SIGN_PASS_FILE is set but REPORT_SIGN_PFX is not"
  [ -n "$PASS_FILE" ] || fail "REPORT_SIGN_PFX is set but REPORT_SIGN_PASS_FILE is not (use an empty file for a PKCS#12 without password)"
  [ -f "$PFX" ] && [ -r "$PFX" ] || fail "cannot read the certificate REPORT_SIGN_PFX=$PFX"
  [ -f "$PASS_FILE" ] && [ -r "$PASS_FILE" ] || fail "cannot read the password file REPORT_SIGN_PASS_FILE=$PASS_FILE"
  command -v osslsigncode > /dev/null || fail "osslsigncode is not installed (scripts/install-deps.sh installs it)"
  command -v openssl > /dev/null || fail "openssl is not installed (scripts/install-deps.sh installs it)"
  sign=1
fi

mkdir -p "$(dirname "$RELEASE_DIR")"
# Private work folder (mode 700) beside the release folder, so the finished
# folder is moved into place rather than copied.
work=$(mktemp -d "$(dirname "$RELEASE_DIR")/.release-work.XXXXXX")
chmod 700 "$work"
mkdir "$work/out"

subject=""
if [ "$sign" = 1 ]; then
  # The first line of the password file, without CR or UTF-8 byte-order mark,
  # kept with one line end: openssl reads up to it, osslsigncode drops it.
  # printf is a shell builtin, so the password is in no argument list.
  pass=""
  LC_ALL=C IFS= read -r pass < "$PASS_FILE" || true
  pass=${pass%$'\r'}
  pass=${pass#$'\xef\xbb\xbf'}
  (umask 077; printf '%s\n' "$pass" > "$work/pass")
  unset pass

  # Open the certificate once before anything is signed, to tell a wrong
  # password from a file that is not PKCS#12 at all. Keys exported by older
  # Windows versions need OpenSSL's legacy algorithms.
  if ! openssl pkcs12 -in "$PFX" -passin "file:$work/pass" -nokeys -clcerts -out "$work/cert.pem" 2> "$work/openssl.log" &&
     ! openssl pkcs12 -legacy -in "$PFX" -passin "file:$work/pass" -nokeys -clcerts -out "$work/cert.pem" 2>> "$work/openssl.log"; then
    if grep -qi 'invalid password\|mac verify' "$work/openssl.log"; then
      fail "wrong password for the certificate $PFX (first line of $PASS_FILE)"
    fi
    show_log "$work/openssl.log"
    fail "cannot read the certificate $PFX: not a PKCS#12 file, or damaged"
  fi
  # The signer's subject, for RELEASE.txt; a PKCS#12 with a key alone has none.
  if ! openssl x509 -in "$work/cert.pem" -noout -subject -nameopt RFC2253 > "$work/subject.txt" 2> "$work/x509.log"; then
    show_log "$work/x509.log"
    fail "cannot read the signer's subject: $PFX holds no certificate for its key"
  fi
  subject=$(sed -n 's/^subject=//p' "$work/subject.txt")
  subject=${subject%%$'\n'*}
  [ -n "$subject" ] || fail "cannot read the signer's subject: the certificate in $PFX names no subject"

  sign_file() {  # sign_file <description> <in> <out>
    local args=(sign -pkcs12 "$PFX" -readpass "$work/pass" -h sha256 -n "$1")
    [ -n "$TS_URL" ] && args+=(-ts "$TS_URL")
    if ! osslsigncode "${args[@]}" -in "$2" -out "$3" > "$work/sign.log" 2>&1; then
      show_log "$work/sign.log"
      fail "signing $(basename "$2") failed"
    fi
  }
  sign_file "Modlist6" "$MODLIST6" "$work/Modlist6.exe"
else
  cp "$MODLIST6" "$work/Modlist6.exe"
fi

# Link Report.exe around that companion in the 32-bit tree: only the resource
# script is compiled again. One release at a time per build tree.
exec 9> "$WIN32_TREE/.release.lock"
flock 9
companion="$WIN32_TREE/release-link/Modlist6.exe"
mkdir -p "$WIN32_TREE/release-link"
cp "$work/Modlist6.exe" "$companion"
if ! cmake --build "$WIN32_TREE" --target ReportRelease > "$work/build.log" 2>&1; then
  show_log "$work/build.log"
  fail "building the release Report.exe failed"
fi
cp "$WIN32_TREE/release-link/bin/Report.exe" "$work/Report.exe"
rm -f "$companion"
flock -u 9

if [ "$sign" = 1 ]; then
  sign_file "Report" "$work/Report.exe" "$work/out/Report.exe"
else
  cp "$work/Report.exe" "$work/out/Report.exe"
fi

version=$(sed -n 's/^FILEVERSION \([0-9]*\),\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1.\2.\3.\4/p' "$SRC_DIR/resources/report.rc.in")
day=$(date -u +%Y-%m-%d)
{
  echo "Report $version"
  echo "Date: $day (UTC)"
  if [ "$sign" = 1 ]; then
    echo "Signed by: $subject"
    echo "Signature: Authenticode, SHA-256, on Report.exe and on the Modlist6.exe inside it"
    if [ -n "$TS_URL" ]; then
      echo "Time stamp: $TS_URL (the signature stays valid after the certificate expires)"
    else
      echo "Time stamp: none (the signature is valid only until the certificate expires)"
    fi
  else
    echo "Signed by: nobody. This release is UNSIGNED (no certificate was given)."
  fi
  echo
  echo "Check the file against SHA256SUMS:"
  echo "  Linux:   sha256sum -c SHA256SUMS"
  echo "  Windows: certutil -hashfile Report.exe SHA256  (the hash in SHA256SUMS)"
  if [ "$sign" = 1 ]; then
    echo "Check the signature (the signer must be the one above):"
    echo "  Linux:   osslsigncode verify -in Report.exe  (add -CAfile <CA certificate> for a private CA)"
    echo "  Windows: Report.exe > Properties > Digital Signatures, or in PowerShell"
    echo "           Get-AuthenticodeSignature .\\Report.exe  (Status: Valid)"
  fi
} | sed 's/$/\r/' > "$work/out/RELEASE.txt"
(cd "$work/out" && sha256sum Report.exe RELEASE.txt > SHA256SUMS)
# Names this run, so the swap below can tell its own folder from one that
# appeared under the same name meanwhile.
token=$(basename "$work")
printf 'Made by make release (%s). The next make release replaces this folder.\n' "$token" > "$work/out/$MARKER"
chmod 755 "$work/out" "$work/out/Report.exe"
chmod 644 "$work/out/RELEASE.txt" "$work/out/SHA256SUMS" "$work/out/$MARKER"

# Swap the finished folder into place; cleanup puts the earlier one back if that fails.
# The folder is checked again right before it is moved; mv -T would replace
# an empty folder that appeared after the move away, so the result is checked
# for this run's marker too.
if [ -e "$RELEASE_DIR" ]; then
  is_release_folder "$RELEASE_DIR" || fail "$RELEASE_DIR changed during the run and is no release folder now"
  mv -T "$RELEASE_DIR" "$work/previous"
fi
[ ! -e "$RELEASE_DIR" ] || fail "$RELEASE_DIR appeared during the run"
mv -T --no-clobber "$work/out" "$RELEASE_DIR" && [ ! -e "$work/out" ] &&
  grep -qF "($token)" "$RELEASE_DIR/$MARKER" 2>/dev/null ||
  fail "cannot move the finished release into $RELEASE_DIR"
done_ok=1
if [ "$sign" = 1 ]; then
  echo "release: $RELEASE_DIR: Report $version signed by $subject${TS_URL:+, time-stamped by $TS_URL}"
else
  echo "release: no certificate (REPORT_SIGN_PFX not set): $RELEASE_DIR/Report.exe is UNSIGNED" >&2
fi
