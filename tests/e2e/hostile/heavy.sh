# A machine that has run for years: 12,000 files in the product's client
# folder (most with a version resource, some without, a few subfolders),
# 20,000 audio endpoints under a device branch the virtual-device section
# dumps, and 1,500 Chrome profiles with extensions, one with a 70 MB script and
# a 10 MB messages file. Files with a version resource are hard links of two
# fixtures, so seeding stays quick.
heavy_roaming=$(ls -d "$DRIVE_C"/users/*/AppData/Roaming | grep -v '/Public/' | head -n 1)
heavy_local=$(ls -d "$DRIVE_C"/users/*/AppData/Local | grep -v '/Public/' | head -n 1)
python3 - "$heavy_roaming/meridan/lg4lpvc" "$FIXTURES32/lgcore.dll" "$FIXTURES32/lgmsfile.dll" \
  "$heavy_local/Google/Chrome/User Data" "$WORK/hostile-devices.reg" <<'PY'
import os, shutil, sys
client, lgcore, lgms, chrome, reg = sys.argv[1:6]
os.makedirs(client, exist_ok=True)
# Originals inside the prefix: links never reach the build's own files.
originals = []
for source in (lgcore, lgms):
    target = os.path.join(client, "lg" + os.path.basename(source))
    shutil.copyfile(source, target)
    originals.append(target)
for i in range(11000):  # one in ten from "Microsoft Corporation"
    os.link(originals[1 if i % 10 == 9 else 0], os.path.join(client, "mod%05d.dll" % i))
for i in range(978):
    with open(os.path.join(client, "data%04d.dat" % i), "wb") as f:
        f.write(b"no version resource %d\n" % i)
for i in range(20):
    os.makedirs(os.path.join(client, "cache%02d" % i), exist_ok=True)

def put(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode("utf-8"))
for p in range(1, 1501):
    version = os.path.join(chrome, "Profile %d" % p, "Extensions", "heavyext%04d" % p, "1.%d_0" % p)
    put(os.path.join(version, "manifest.json"),
        '{"name": "__MSG_appName__", "description": "profile %d", "permissions": ["tabs", "storage"]}' % p)
    put(os.path.join(version, "_locales", "en", "messages.json"), '{"appName": {"message": "Heavy %d"}}' % p)
    put(os.path.join(version, "background.js"), "chrome.runtime.onInstalled.addListener(() => {});\n")
big = os.path.join(chrome, "Profile 3", "Extensions", "heavybig", "2.0_0")
put(os.path.join(big, "manifest.json"), '{"name": "__MSG_appName__", "description": "big files"}')
with open(os.path.join(big, "bundle.js"), "wb") as f:
    line = b"function f(a) { return a + 1; } // no capture call in here\n"
    f.write(line * ((70 << 20) // len(line)))
put(os.path.join(big, "_locales", "en", "messages.json"),
    b'{"appName": {"message": "big"}, "pad": {"message": "' + b"p" * (10 << 20) + b'"}}')

# Audio endpoints of every headset, dock and display ever attached.
out = ["Windows Registry Editor Version 5.00", ""]
branch = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\SWD\\MMDEVAPI"
for i in range(20000):
    out += ["[%s\\{0.0.0.00000000}.{hostile-%05d}]" % (branch, i),
            '"DeviceDesc"="Speakers %d"' % i, '"FriendlyName"="Speakers (Dock %d)"' % i,
            '"ConfigFlags"=dword:00000000', ""]
open(reg, "wb").write(("\r\n".join(out) + "\r\n").encode("ascii"))
PY
# SYSTEM is one key in both views.
wine reg import "$(winpath "$WORK/hostile-devices.reg")" /reg:64 > /dev/null 2>&1 < /dev/null
