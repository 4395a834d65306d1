# Running programs and security products of the fixture machine: an Internet
# Explorer frame whose process holds another maker's plug-in, a Chrome window,
# a store app hosted by WWAHost.exe with a Japanese title, a Trend Micro
# program seen only as a running process, Symantec's registry key and
# definitions, and McAfee's engine folder.
proc_dir="$DRIVE_C/LanternTest"
mkdir -p "$proc_dir" "$DRIVE_C/Program Files/TrendGuard"
cp "$BIN64/window_host.exe" "$proc_dir/iehost.exe"
cp "$BIN64/window_host.exe" "$proc_dir/WWAHost.exe"
cp "$FIXTURES64/lantern_plugin.dll" "$proc_dir/"
cp "$FIXTURES64/TrendGuard.exe" "$DRIVE_C/Program Files/TrendGuard/"
# They run until the prefix's server is ended.
wine 'C:\LanternTest\iehost.exe' 'load:C:\LanternTest\lantern_plugin.dll' ieframe chrome1 > /dev/null 2>&1 < /dev/null &
wine 'C:\LanternTest\WWAHost.exe' corewindow > /dev/null 2>&1 < /dev/null &
wine 'C:\Program Files\TrendGuard\TrendGuard.exe' > /dev/null 2>&1 < /dev/null &

seed_reg add 'HKLM\Software\Symantec'
seed_reg add 'HKLM\Software\Norton\SecurityStatusSDK' /v SDKProduct /t REG_SZ /d 'Norton 360'
proc_defs="$DRIVE_C/ProgramData/Symantec Shared/VirusDefs"
mkdir -p "$proc_defs/20240506.003" "$DRIVE_C/ProgramData/McAfee/Engine"
printf '[DefDates]\r\nCurDefs=20240506.003\r\n' > "$proc_defs/definfo.dat"
printf 'definitions' > "$proc_defs/20240506.003/virscan.dat"
touch -d '2024-05-07 12:00' "$proc_defs/20240506.003/virscan.dat"
sleep 3  # the programs above make their windows
