# Document programs of the fixture machine: Office 2016 (32-bit) for the nine
# document types, DocuWorks 9.1, Windows Media Player 12 (Japanese), Acrobat DC
# with its browser control, and the protection product's modules.
apps_pf86="$DRIVE_C/Program Files (x86)"
apps_office="$apps_pf86/Microsoft Office/root/Office16"
apps_docuworks="$apps_pf86/Fuji Xerox/DocuWorks/bin"
apps_acrobat="$apps_pf86/Adobe/Acrobat DC/Acrobat"
mkdir -p "$apps_office" "$apps_docuworks" "$apps_acrobat/ActiveX"
cp "$FIXTURES32/EXCEL.EXE" "$FIXTURES32/WINWORD.EXE" "$FIXTURES32/POWERPNT.EXE" "$apps_office/"
cp "$FIXTURES32/dwviewer.exe" "$apps_docuworks/"
cp "$FIXTURES32/Acrobat.exe" "$apps_acrobat/"
cp "$FIXTURES32/AcroPDF.dll" "$apps_acrobat/ActiveX/"
# Wine reads its own built-in player's version for any wmplayer.exe unless the
# file on disk is preferred (see the DllOverrides value below). A 64-bit
# Windows has the player in both program folders.
cp "$FIXTURES64/wmplayer.exe" "$DRIVE_C/Program Files/Windows Media Player/wmplayer.exe"
if [ -d "$DRIVE_C/Program Files (x86)/Windows Media Player" ]; then
  cp "$FIXTURES32/wmplayer.exe" "$DRIVE_C/Program Files (x86)/Windows Media Player/wmplayer.exe"
fi

# Product modules: the 32-bit system folder and the two application-data folders.
if [ -d "$DRIVE_C/windows/syswow64" ]; then
  cp "$FIXTURES32/lgcore.dll" "$DRIVE_C/windows/syswow64/lgsample.dll"
  cp "$FIXTURES32/lgmsfile.dll" "$DRIVE_C/windows/syswow64/qmsample.dll"
fi
for apps_profile in "$DRIVE_C"/users/*; do
  [ "$(basename "$apps_profile")" = Public ] && continue
  mkdir -p "$apps_profile/AppData/Roaming/meridan/lg4lpvc" "$apps_profile/AppData/Local/ORBWELL/lg4lpv"
  cp "$FIXTURES32/lgcore.dll" "$apps_profile/AppData/Roaming/meridan/lg4lpvc/"
  cp "$FIXTURES32/lgmsfile.dll" "$apps_profile/AppData/Local/ORBWELL/lg4lpv/"
done

apps_reg="$WORK/apps_seed.reg"
{
  printf 'Windows Registry Editor Version 5.00\r\n\r\n'
  apps_progid() {  # extension, ProgID
    printf '[HKEY_CLASSES_ROOT\\%s]\r\n@="%s"\r\n\r\n' "$1" "$2"
  }
  apps_server() {  # ProgID, CLSID, server text as a .reg string
    printf '[HKEY_CLASSES_ROOT\\%s\\CLSID]\r\n@="%s"\r\n\r\n' "$1" "$2"
    printf '[HKEY_CLASSES_ROOT\\CLSID\\%s\\LocalServer32]\r\n@="%s"\r\n\r\n' "$2" "$3"
  }
  office='C:\\Program Files (x86)\\Microsoft Office\\root\\Office16'
  for e in .xls .xlsx .xlsm; do apps_progid "$e" Excel.Sheet.12; done
  for e in .doc .docx .docm; do apps_progid "$e" Word.Document.12; done
  for e in .ppt .pptx .pptm; do apps_progid "$e" PowerPoint.Show.12; done
  apps_server Excel.Sheet.12 '{00020830-0000-0000-C000-000000000046}' "\\\"$office\\\\EXCEL.EXE\\\" /automation"
  apps_server Word.Document.12 '{F4754C9B-64F5-4B40-8AF4-679732AC0607}' "\\\"$office\\\\WINWORD.EXE\\\" /Automation"
  # Unquoted with an argument, as Office itself registers some servers.
  apps_server PowerPoint.Show.12 '{CF4F55F4-8F87-4D47-80BB-5808164BB3F8}' "$office\\\\POWERPNT.EXE /automation"
  printf '[HKEY_CLASSES_ROOT\\qmviewx.qmviewxctrl.1\\CLSID]\r\n@="{5EC0A11C-0000-4000-8000-0000000000F1}"\r\n\r\n'

  apps_progid .xdw DocuWorks.Document
  apps_server DocuWorks.Document '{5EC0A11C-0000-4000-8000-0000000000D1}' \
    '\"C:\\Program Files (x86)\\Fuji Xerox\\DocuWorks\\bin\\dwviewer.exe\" /embedding'

  printf '[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\MediaPlayer]\r\n'
  printf '"Installation Directory"="%%ProgramFiles(x86)%%\\\\Windows Media Player"\r\n\r\n'
  printf '[HKEY_CURRENT_USER\\Software\\Wine\\DllOverrides]\r\n"wmplayer.exe"="native"\r\n\r\n'

  printf '[HKEY_CLASSES_ROOT\\Software\\Adobe\\Acrobat\\Exe]\r\n'
  printf '@="\\"C:\\\\Program Files (x86)\\\\Adobe\\\\Acrobat DC\\\\Acrobat\\\\Acrobat.exe\\""\r\n\r\n'
  printf '[HKEY_CLASSES_ROOT\\MIME\\Database\\Content Type\\application/pdf]\r\n'
  printf '"CLSID"="{CA8A9780-280D-11CF-A24D-444553540000}"\r\n\r\n'
  printf '[HKEY_CLASSES_ROOT\\CLSID\\{CA8A9780-280D-11CF-A24D-444553540000}\\InprocServer32]\r\n'
  printf '@="C:\\\\Program Files (x86)\\\\Adobe\\\\Acrobat DC\\\\Acrobat\\\\ActiveX\\\\AcroPDF.dll"\r\n\r\n'
} > "$apps_reg.txt"
{ printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE "$apps_reg.txt"; } > "$apps_reg"
reg_import "$apps_reg"
# Click-to-Run keeps its configuration in the 64-bit view, whatever Office's bitness.
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Office\\ClickToRun\\Configuration]\r\n"ProductReleaseIds"="O365ProPlusRetail"\r\n"VersionToReport"="16.0.4266.1001"\r\n\r\n' \
  > "$WORK/apps_c2r.reg"
reg_import "$WORK/apps_c2r.reg" 64
unset -f apps_progid apps_server
