# Registry values of the wrong type and size where the probes read: DWORDs as
# texts and texts as DWORDs, 0-byte and 1-MB values, texts without their
# terminator, 20,000 IE add-on keys, printf directives and cp932 0x5C-trail
# characters in key and value names. Machine-wide keys go into both views.
python3 - "$WORK/hostile-registry.reg" <<'PY'
import sys
out = []
def key(path): out.append("\r\n[%s]" % path)
def sz(name, text):
    out.append('%s="%s"' % (name, text.replace("\\", "\\\\").replace('"', '\\"')))
def raw(name, kind, data):  # kind: a .reg hex type, data: bytes
    out.append("%s=hex(%x):%s" % (name, kind, ",".join("%02x" % b for b in data)))
def utf16(text): return text.encode("utf-16-le")
odd = "%s%n%x%%表ソ"
mega = "M" * (512 * 1024)            # 1 MB as UTF-16
cu, cr, lm = "HKEY_CURRENT_USER\\Software", "HKEY_CLASSES_ROOT", "HKEY_LOCAL_MACHINE\\SOFTWARE"
stats = cu + "\\Microsoft\\Windows\\CurrentVersion\\Ext\\Stats"
for i in range(20000):
    key("%s\\{HOSTILE-%05d}" % (stats, i))
for ident, type_value, name in [
        (odd, lambda: sz('"Type"', "2"), lambda: sz("@", "%n%s%x 表示ソフト ツールバー")),
        ("{0HOSTILE-ZEROTYPE}", lambda: raw('"Type"', 4, b""), lambda: raw("@", 1, utf16("AB"))),
        ("{0HOSTILE-LONGTYPE}", lambda: raw('"Type"', 4, bytes([1, 0, 0, 0, 9, 9, 9, 9])),
         lambda: out.append("@=dword:00000001")),
        ("{0HOSTILE-LONGNAME}", lambda: out.append('"Type"=dword:00000001'), lambda: sz("@", "表" * 400))]:
    key("%s\\%s\\iexplore" % (stats, ident)); type_value()
    key("%s\\CLSID\\%s" % (cr, ident)); name()
key(cu + "\\Microsoft\\Windows\\CurrentVersion\\Ext\\Settings\\" + odd); sz('"Flags"', "1")

for root in ["HKEY_CURRENT_USER\\Software", lm]:
    key(root + "\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones\\3")
    sz('"CurrentLevel"', "11500"); raw('"1200"', 4, b""); raw('"1400"', 4, b"\x01\x00")
    raw('"1001"', 3, b"\x01" * (1 << 20)); sz('"1405"', odd)
key(cu + "\\Microsoft\\Internet Explorer\\Safety\\ActiveXFiltering"); sz('"IsEnabled"', "1")
key(cu + "\\Microsoft\\Internet Explorer\\Safety\\ActiveXFilterExceptions\\" + odd); out.append('"%n%s"=dword:00000000')
key(cu + "\\Google\\Chrome\\NativeMessagingHosts\\orbwell_lg4lpv")
sz("@", "C:\\hostile data %s\\表ソ%n\\orbwell_lg4lpv.json")

key(lm + "\\Microsoft\\Internet Explorer")
out.append('"Version"=dword:0000000b'); raw('"Build"', 1, utf16("99.%n%s表")); sz('"svcVersion"', mega)
key(lm + "\\Microsoft\\Office\\ClickToRun\\Configuration")
out.append('"VersionToReport"=dword:00000010'); sz('"ProductReleaseIds"', mega)
key(lm + "\\Microsoft\\MediaPlayer"); raw('"Installation Directory"', 3, b"")
key(lm + "\\Norton\\SecurityStatusSDK"); out.append('"SDKProduct"=dword:00000001')
key(lm + "\\Symantec")
key(lm + "\\TrendMicro\\PC-cillin"); sz('"ProductName"', mega)
key(lm + "\\Kingsoft\\AntiVirus\\SetupOem"); raw('"kav32"', 1, utf16("Kingsoft %n表"))

key(cr + "\\.xls"); out.append("@=dword:00000001")
key(cr + "\\.ppt"); raw("@", 1, b"")
key(cr + "\\.doc"); sz("@", odd)
key(cr + "\\%s\\CLSID" % odd); sz("@", "{5EC0A11C-0000-4000-8000-00000000BAD1}")
key(cr + "\\CLSID\\{5EC0A11C-0000-4000-8000-00000000BAD1}\\LocalServer32")
raw("@", 1, utf16('"C:\\%n表ソ\\WINWORD.EXE" /automation'))
key(cr + "\\Software\\Adobe\\Acrobat\\Exe"); raw("@", 2, utf16("%ProgramFiles%\\%n表ソ\\Acrobat.exe\0"))
key(cr + "\\MIME\\Database\\Content Type\\application/pdf"); out.append('"CLSID"=dword:00000001')
text = "Windows Registry Editor Version 5.00\r\n" + "\r\n".join(out) + "\r\n\r\n"
open(sys.argv[1], "wb").write(b"\xff\xfe" + text.encode("utf-16-le"))
PY
hostile_import "$WORK/hostile-registry.reg"

# The host manifest named above: larger than any real one, in a folder named
# with a blank, printf directives and 0x5C-trail characters.
hostile_manifest="$DRIVE_C/hostile data %s/表ソ%n"
mkdir -p "$hostile_manifest"
{ printf '{"name": "orbwell_lg4lpv", "path": "qmnhost.exe", "pad": "'; head -c 2000000 /dev/zero | tr '\0' 'p'; printf '"}'; } \
  > "$hostile_manifest/orbwell_lg4lpv.json"

# --- Links and pipes (outside text that would loop or block) ---------------
# The native-messaging registration names a pipe that takes clients and never
# answers (made by programs.sh); a read from it would wait for ever.
seed_reg add 'HKCU\Software\Google\Chrome\NativeMessagingHosts\orbwell_lg4lpv' /ve /d '\\.\pipe\hostile_nm'
# Two registry links back to their parent under each dumped key: the user's
# ActiveX-filter exceptions (dumped while the filter is on) and the device map
# the virtual-device section dumps. Followed, a dump would visit 2^33 keys. A
# registry export would follow them too, so they exist only while Report runs
# (hostile_e2e.sh calls this with make before the run and remove after it).
hostile_registry_links() {
  local key link rc=0
  for key in 'Software\Microsoft\Internet Explorer\Safety\ActiveXFilterExceptions' 'HKLM\HARDWARE\DEVICEMAP'; do
    for link in loopA loopB; do
      if [ "$1" = make ]; then
        wine "$BIN64/reg_link.exe" make "$key\\$link" "$key" > /dev/null 2>&1 < /dev/null || rc=1
      else
        wine "$BIN64/reg_link.exe" remove "$key\\$link" > /dev/null 2>&1 < /dev/null || rc=1
      fi
    done
  done
  return $rc
}
# An Office server path naming the same pipe: its image kind and version are
# checked, and both would read it.
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CLASSES_ROOT\\.docx]\r\n@="HostilePipe.Document"\r\n\r\n[HKEY_CLASSES_ROOT\\HostilePipe.Document\\CLSID]\r\n@="{5EC0A11C-0000-4000-8000-00000000B1BE}"\r\n\r\n[HKEY_CLASSES_ROOT\\CLSID\\{5EC0A11C-0000-4000-8000-00000000B1BE}\\LocalServer32]\r\n@="\\\\\\\\.\\\\pipe\\\\hostile_nm"\r\n\r\n' \
  > "$WORK/hostile-pipe.reg"
hostile_import "$WORK/hostile-pipe.reg"
