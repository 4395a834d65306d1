# Running programs: a 64-bit browser-window process whose modules have odd
# version resources, in a folder and under a name holding printf directives and
# 0x5C-trail characters, and a Chrome beside it; a program that makes and destroys browser-class
# windows all the time; a security product's definitions file of megabytes.
hostile_bin="$DRIVE_C/hostile%s%n/表ソ"
mkdir -p "$hostile_bin"
cp "$BIN64/window_host.exe" "$hostile_bin/表示%n%s.exe"
cp "$BIN64/window_host.exe" "$hostile_bin/churn%x.exe"
for hostile_dll in odd_notrans odd_empty odd_lines odd_huge; do
  cp "$FIXTURES64/$hostile_dll.dll" "$hostile_bin/"
done
hostile_win='C:\hostile%s%n\表ソ'
# They run until the prefix's server is ended.
wine "$hostile_win\\表示%n%s.exe" "load:$hostile_win\\odd_notrans.dll" "load:$hostile_win\\odd_empty.dll" \
  "load:$hostile_win\\odd_lines.dll" "load:$hostile_win\\odd_huge.dll" 'title:%s%n%x%%表示ソフト' ieframe \
  > /dev/null 2>&1 < /dev/null &
# Another browser process listed right after it: lines of one listing that
# stray into the next would be filed under this one.
cp "$BIN64/window_host.exe" "$hostile_bin/chrome.exe"
wine "$hostile_win\\chrome.exe" chrome1 > /dev/null 2>&1 < /dev/null &
wine "$hostile_win\\churn%x.exe" 'title:%n%s表' churn:15 > /dev/null 2>&1 < /dev/null &

hostile_defs="$DRIVE_C/ProgramData/Symantec Shared/VirusDefs"
mkdir -p "$hostile_defs/%s%n表ソ"
# In the ANSI code page, as the product writes it on a Japanese Windows.
{ printf '[DefDates]\r\nCurDefs=%%s%%n表ソ\r\n' | iconv -f UTF-8 -t CP932; head -c 3000000 /dev/zero | tr '\0' 'z'; } \
  > "$hostile_defs/definfo.dat"
printf 'definitions' > "$hostile_defs/%s%n表ソ/virscan.dat"

# Report's own temporary folder: a blank, "-n" and "%" in its name, where the
# companion goes when one is needed.
mkdir -p "$DRIVE_C/tmp -n %s%n 表ソ"
export REPORT_DRIVER_TEMP='C:\tmp -n %s%n 表ソ'
sleep 3  # the programs above make their windows
# Any Windows that has used its browser has an Internet cache; a fresh prefix
# has none until wininet first runs, which would make the cache files look new.
wine "$BIN64/url_cache_seed.exe" 'http://hostile.invalid/%s%n%x%%/cached.bin' 1 > /dev/null 2>&1 < /dev/null

# --- Outside text that would forge report lines, and a pipe that never answers
# A browser window titled with CR LF and a verdict mark; a running program
# whose version texts hold the same (a security candidate by its name); the
# pipe that the native-messaging registration names.
cp "$FIXTURES64/fake_verdict.exe" "$hostile_bin/fake_verdict.exe"
wine "$hostile_win\\fake_verdict.exe" > /dev/null 2>&1 < /dev/null &
cp "$BIN64/window_host.exe" "$hostile_bin/clip_title.exe"
wine "$hostile_win\\clip_title.exe" 'title:Clip^●偽の判定ForgedVerdict^end' ieframe pipe:hostile_nm \
  > /dev/null 2>&1 < /dev/null &
sleep 2
