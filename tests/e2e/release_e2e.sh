#!/usr/bin/env bash
# The release: `make release` with a throwaway code-signing certificate; the
# signatures of Report.exe and of the companion inside it checked against that
# certificate; the checksums; the failures, which must leave a folder that was
# there as it was; and the signed Report.exe run once, its companion started
# for real.
source "$(dirname "$0")/lib.sh"
WORK="$BUILD_DIR/e2e/release"
rm -rf "$WORK"; mkdir -p "$WORK"
OUT="$WORK/out"
DIST="$BUILD_DIR/dist"
PE="$E2E_DIR/pe_image.py"

# make release into $1 with the environment as given; output in $1.log.out/.err
release() {
  local dir=$1; shift
  env "$@" make -C "$SRC_DIR" --no-print-directory release BUILD="$BUILD_DIR" RELEASE_DIR="$dir" \
    > "$dir.log.out" 2> "$dir.log.err" < /dev/null
}
no_signing=(-u REPORT_SIGN_PFX -u REPORT_SIGN_PASS_FILE -u REPORT_SIGN_TIMESTAMP_URL)
verify() {  # verify <file> <log>: the signature checks out against the test certificate
  osslsigncode verify -in "$1" -CAfile "$WORK/cert.pem" > "$2" 2>&1 || { cat "$2"; return 1; }
  grep -q 'SHA256' "$2" && grep -q 'CN=Report Release Test' "$2" || { cat "$2"; return 1; }
}

echo "== a throwaway code-signing certificate"
# The password has a blank and a %; the file holds it on its first line with
# CR LF, as Windows editors write it, and a second line that is not part of it.
(
  umask 077
  cd "$WORK" || exit 1
  openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
    -subj "/O=Report Support Tools Team/CN=Report Release Test" \
    -addext "extendedKeyUsage=codeSigning" -addext "keyUsage=digitalSignature" > openssl.log 2>&1 &&
  printf 'pass word %%d\n' > export-pass &&
  openssl pkcs12 -export -inkey key.pem -in cert.pem -out signer.pfx -passout file:export-pass >> openssl.log 2>&1 &&
  printf 'pass word %%d\r\nnot the password\r\n' > pass.txt &&
  printf 'pass word\n' > wrong-pass.txt
) || { cat "$WORK/openssl.log"; echo "FAIL cannot make the test certificate"; exit 1; }
# env takes its -u options first; a later NAME=VALUE overrides an earlier one.
signing=(-u REPORT_SIGN_TIMESTAMP_URL REPORT_SIGN_PFX="$WORK/signer.pfx" REPORT_SIGN_PASS_FILE="$WORK/pass.txt")

dist_before=$(cd "$DIST" && sha256sum Report.exe Modlist6.exe)
echo "== make release with the certificate"
release "$OUT" "${signing[@]}"
check "make release exits 0" equals "$?" 0
cat "$OUT.log.err"
check "the folder holds Report.exe, RELEASE.txt and SHA256SUMS, no work folder is left" \
  equals "$(ls "$OUT" | tr '\n' ' ')$(ls -A "$WORK" | grep release-work)" "RELEASE.txt Report.exe SHA256SUMS "
check "Report.exe verifies against the certificate, SHA-256" verify "$OUT/Report.exe" "$WORK/verify-report.txt"
check "Report.exe carries one MODLIST6.EXE resource" \
  python3 "$PE" resource "$OUT/Report.exe" 10 MODLIST6.EXE "$WORK/embedded-Modlist6.exe"
check "the embedded Modlist6.exe verifies against the certificate, SHA-256" \
  verify "$WORK/embedded-Modlist6.exe" "$WORK/verify-modlist6.txt"
echo "---- osslsigncode verify, Report.exe:"; cat "$WORK/verify-report.txt"
echo "---- osslsigncode verify, its embedded Modlist6.exe:"; cat "$WORK/verify-modlist6.txt"
echo "----"
check "the embedded companion is the built Modlist6.exe but for its signature" \
  python3 "$PE" same-program "$BUILD_DIR/win64/bin/Modlist6.exe" "$WORK/embedded-Modlist6.exe" ""
check "code, data and every other resource are those of build/dist/Report.exe" \
  python3 "$PE" same-program "$DIST/Report.exe" "$OUT/Report.exe" MODLIST6.EXE
check "SHA256SUMS matches" bash -c 'cd "$1" && sha256sum --strict --quiet -c SHA256SUMS' _ "$OUT"
check "SHA256SUMS has one line per other file of the folder" equals \
  "$(sed -n 's/^[0-9a-f]\{64\}  \(.*\)$/\1/p' "$OUT/SHA256SUMS" | sort | tr '\n' ' ')" "RELEASE.txt Report.exe "
echo "---- RELEASE.txt:"; tr -d '\r' < "$OUT/RELEASE.txt"; echo "----"
notes_hold() { local w; for w in "$@"; do tr -d '\r' < "$OUT/RELEASE.txt" | grep -q -- "$w" || return 1; done; }
check "RELEASE.txt: version, date, signer, no time stamp, how to check" notes_hold "^Report 1\.7\.27\.0$" \
  "^Date: $(date -u +%Y-%m-%d)" "^Signed by: .*CN=Report Release Test" "^Time stamp: none" \
  "osslsigncode verify" "Get-AuthenticodeSignature" "sha256sum -c"
check "the password stands nowhere in the release output" bash -c '! grep -rq "pass word" "$@"' _ \
  "$OUT" "$OUT.log.out" "$OUT.log.err"
check "build/dist is unchanged" equals "$(cd "$DIST" && sha256sum Report.exe Modlist6.exe)" "$dist_before"

echo "== failures leave what was there as it was"
# A PKCS#12 with the key alone: no signer to name.
(cd "$WORK" && openssl pkcs12 -export -nocerts -inkey key.pem -out key-only.pfx -passout file:export-pass \
  >> openssl.log 2>&1) || { cat "$WORK/openssl.log"; echo "FAIL cannot make the key-only PKCS#12"; exit 1; }
folder_state() { [ -e "$1" ] && (cd "$1" && find . -printf '%p %s %T@ %m\n' | sort && find . -type f -exec sha256sum {} + | sort); }
for case in wrong-password not-pkcs12 timestamp-server no-certificate user-folder empty-folder unmarked; do
  dir="$WORK/$case"
  case $case in
    no-certificate) ;;  # nothing in the way
    user-folder) mkdir "$dir" && echo "the user's own" > "$dir/Report.exe" ;;
    empty-folder) mkdir "$dir" ;;
    # The release names without the marker of a folder make release made.
    unmarked) cp -r "$OUT" "$dir" && rm "$dir/.report-release" ;;
    *) cp -r "$OUT" "$dir" ;;  # an earlier release in the way
  esac
  before=$(folder_state "$dir")
  extra=()
  case $case in
    wrong-password) extra=(REPORT_SIGN_PASS_FILE="$WORK/wrong-pass.txt"); wanted="wrong password" ;;
    not-pkcs12) extra=(REPORT_SIGN_PFX="$WORK/cert.pem"); wanted="not a PKCS#12 file" ;;
    # A port just found free: the time-stamp server refuses the connection.
    timestamp-server)
      port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
      extra=(REPORT_SIGN_TIMESTAMP_URL="http://127.0.0.1:$port/"); wanted="signing Modlist6.exe failed" ;;
    no-certificate) extra=(REPORT_SIGN_PFX="$WORK/key-only.pfx"); wanted="cannot read the signer's subject: .*no certificate" ;;
    user-folder | empty-folder | unmarked) wanted="not a release folder made by an earlier run" ;;
  esac
  release "$dir" "${signing[@]}" "${extra[@]}"
  rc=$?
  sed 's/^/     stderr: /' "$dir.log.err"
  check "$case: exit status not 0 ($rc)" test "$rc" -ne 0
  check "$case: says '$wanted'" grep -q "release: .*$wanted" "$dir.log.err"
  if [ -n "$before" ]; then
    check "$case: the folder that was there is untouched" equals "$(folder_state "$dir")" "$before"
    check "$case: the error says so" grep -q "release: .*$dir is untouched" "$dir.log.err"
  else
    check "$case: no release folder is left" test ! -e "$dir"
  fi
  check "$case: no work folder is left" equals "$(ls -A "$WORK" | grep '^\.release-work')" ""
done

echo "== make release without a certificate"
UNSIGNED="$WORK/unsigned"
release "$UNSIGNED" "${no_signing[@]}"
check "exits 0" equals "$?" 0
check "says so in one line on stderr" equals "$(grep -c '^release:' "$UNSIGNED.log.err")" 1
check "the line names the unsigned file" grep -q "release: .*UNSIGNED" "$UNSIGNED.log.err"
check "RELEASE.txt says unsigned" grep -q "UNSIGNED" "$UNSIGNED/RELEASE.txt"
check "Report.exe is build/dist/Report.exe byte for byte" cmp "$UNSIGNED/Report.exe" "$DIST/Report.exe"
check "SHA256SUMS matches" bash -c 'cd "$1" && sha256sum --strict --quiet -c SHA256SUMS' _ "$UNSIGNED"

echo "== the signed Report.exe, run once"
E2E_PRIVATE_DISPLAY=1
trap stop_all EXIT
make_prefix
start_display || exit 1  # before the 32-bit probe, which needs it
choose_report > /dev/null
if [ "$REPORT_KIND" != wow64 ]; then
  echo "skipped: the run of the signed Report.exe (this machine does not run 32-bit programs: $RUNS_32BIT_PROBE)"
else
  # Only the running programs of the fixture machine: the 64-bit iehost.exe
  # with an Internet Explorer frame makes Report ask its companion.
  source "$E2E_DIR/seed/processes.sh"
  install_report "$OUT/Report.exe"
  echo "     running the signed Report.exe of the release (32-bit, under WoW64)"
  drive "$WORK/run.txt" full
  check "driver finished the full scenario" equals "$(result_value "$WORK/run.txt" error)" ""
  check "program ended with code 0" equals "$(result_value "$WORK/run.txt" exit-code)" "0"
  mkdir -p "$WORK/expect"
  cp "$E2E_DIR/expect/processes.txt" "$WORK/expect/"
  check "the report holds what the running programs' seed expects" \
    python3 "$E2E_DIR/check_report.py" --kind wow64 "$REPORT_OUT" "$WORK/expect"
  check_companion_round "$REPORT_OUT"
fi

echo "$failures failed"
[ "$failures" -eq 0 ]
