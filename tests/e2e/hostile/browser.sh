# Browser data as a new user's machine can hold it: a Local State of megabytes
# with deep nesting, NULs and 20,000 profile names; another of 33 MB, truncated,
# with the profile list of the wrong type; 20,000 extension folders; manifests and
# messages that are huge, truncated, deeply nested, of wrong types, with NULs,
# invalid UTF-8 and printf directives; too many versions, files and folder levels.
hostile_local_app=$(ls -d "$DRIVE_C"/users/*/AppData/Local | grep -v '/Public/' | head -n 1)
hostile_chrome="$DRIVE_C/Program Files/Google/Chrome/Application"
hostile_edge="$DRIVE_C/Program Files (x86)/Microsoft/Edge/Application"
mkdir -p "$hostile_chrome" "$hostile_edge"
cp "$FIXTURES64/chrome.exe" "$hostile_chrome/chrome.exe"
cp "$FIXTURES32/msedge.exe" "$hostile_edge/msedge.exe"
python3 - "$hostile_local_app" <<'PY'
import os, sys
local = sys.argv[1]
def put(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode("utf-8"))

chrome = os.path.join(local, "Google/Chrome/User Data")
names = ["Default", "%s%n%x%%"] + ["Profile %d" % i for i in range(1, 20000)]
order = ",".join('"%s"' % n for n in names).encode()
deep = b"[" * 5000 + b"]" * 5000
state = (b'{"deep":' + deep + b',"bad":"\xff\xfe\x95\x5c %s%n","profile":{"info_cache":{"Default":{"name":7}},'
         b'"profiles_order":[' + order + b']},"pad":"' + b"x" * (4 << 20) + b'\x00"}' + b"\x00" * 1024)
put(os.path.join(chrome, "Local State"), state)
for n in names[:2] + ["Profile %d" % i for i in range(1, 1101)]:
    os.makedirs(os.path.join(chrome, n, "Extensions"), exist_ok=True)

for i in range(20000):
    os.makedirs(os.path.join(chrome, "Default/Extensions/emptyid%05d" % i), exist_ok=True)
# The odd extensions have a profile of their own, so the cut above cannot hide them.
ext = os.path.join(chrome, "%s%n%x%%/Extensions")
def extension(ext_id, manifest, messages=None, version="1.0_0"):
    folder = os.path.join(ext, ext_id, version)
    put(os.path.join(folder, "manifest.json"), manifest)
    if messages is not None:
        put(os.path.join(folder, "_locales/en/messages.json"), messages)
    return folder
jp = "表示ソフト" * 30  # longer than any precision, 0x5C trail bytes throughout
extension("%s%n%x%%表ソ", '{"name": "%%s%%n%%x%%%% %s", "description": "%s", "permissions": 7}' % (jp, jp))
extension("aahugemanifest", '{"description": "' + "d" * (2 << 20) + '", "name": "lost"}')
extension("aatruncated", '{"name": "__MSG_appName__", "description": "__MSG_desc', '{"appName": {"message": "' + "m" * (3 << 20))
extension("aanuls", b'{"name": "\x00hidden", "description": "\xff\xfe\xc3\x28 %n %s \x95\x5c", "permissions": ["\x00"]}')
extension("ソフト表%n", '{"name": "__MSG_n__", "permissions": ["tabs"', version="表%s")
extension("aadeepjson", "{" * 30000 + '"name": "deep"' + "}" * 30000)
extension("aawrongtypes", '{"name": {"message": 5}, "description": ["x", 1], "permissions": "nativeMessaging"}',
          '{"appname": [1, 2]}')
extension("aamessagewrongtype", '{"name": "__MSG_appName__", "description": "__MSG_missing__"}',
          '{"appName": {"message": 12345}, "%s": {"message": "%n"}}')
for v in range(70):
    extension("aamanyversions", '{"name": "v%d"}' % v, version="%d.0_0" % v)
folder = extension("aadeepfolders", '{"name": "deep folders"}')
os.makedirs(os.path.join(folder, *["d"] * 20), exist_ok=True)
folder = extension("aamanyfiles", '{"name": "many files"}', '{"extName": {"message": "x"}}')
os.makedirs(os.path.join(folder, "many"), exist_ok=True)
for i in range(20005):
    open(os.path.join(folder, "many", "f%05d.txt" % i), "wb").close()
put(os.path.join(folder, "big.js"), b"var a = 1;\n" * (1 << 20))

edge = os.path.join(local, "Microsoft/Edge/User Data")
# Beyond any real Local State: truncated, the profile list a text, and padding.
put(os.path.join(edge, "Local State"), b'{"profile":{"profiles_order":"Default","info_cache":{"Default":[1,{"a":"\x00"}]}},"x":"\xff\xfe\x81'
    + b" " * (33 << 20))
PY
{
  printf 'Windows Registry Editor Version 5.00\r\n\r\n'
  printf '[HKEY_CLASSES_ROOT\\ChromeHTML\\shell\\open\\command]\r\n'
  printf '@="\\"C:\\\\Program Files\\\\Google\\\\Chrome\\\\Application\\\\chrome.exe\\" --single-argument %%1"\r\n\r\n'
  printf '[HKEY_CLASSES_ROOT\\MSEdgeHTM\\shell\\open\\command]\r\n'
  printf '@="\\"C:\\\\Program Files (x86)\\\\Microsoft\\\\Edge\\\\Application\\\\msedge.exe\\" --single-argument %%1"\r\n\r\n'
} > "$WORK/hostile-browser.reg"
hostile_import "$WORK/hostile-browser.reg"

# --- Folder links: a profile that is a link back to the user-data folder, a
# profile whose extensions folder is one, and an extension version holding a
# link back to its parent.
hostile_ud="$hostile_local_app/Google/Chrome/User Data"
rm -rf "$hostile_ud/Profile 5"
ln -s . "$hostile_ud/Profile 5"
rm -rf "$hostile_ud/Profile 6/Extensions"
ln -s .. "$hostile_ud/Profile 6/Extensions"
mkdir -p "$hostile_ud/%s%n%x%%/Extensions/aalooped/1.0_0"
printf '{"name": "looped"}' > "$hostile_ud/%s%n%x%%/Extensions/aalooped/1.0_0/manifest.json"
ln -s .. "$hostile_ud/%s%n%x%%/Extensions/aalooped/1.0_0/up"
