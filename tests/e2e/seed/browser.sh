# Browsers of the fixture machine: Chrome (64-bit) and Edge (32-bit) with
# profiles and extensions, the product's native-messaging registration, the
# Internet zone with ActiveX filtering on, and IE add-ons.
browser_seed() {
  local work="$WORK/seed-browser" local_app
  mkdir -p "$work"
  local_app=$(ls -d "$DRIVE_C"/users/*/AppData/Local | grep -v '/Public/' | head -n 1)

  local chrome="$DRIVE_C/Program Files/Google/Chrome/Application"
  local edge="$DRIVE_C/Program Files (x86)/Microsoft/Edge/Application"
  local host="$DRIVE_C/Program Files/Orbwell/host"
  mkdir -p "$chrome" "$edge" "$host"
  cp "$FIXTURES64/chrome.exe" "$chrome/chrome.exe"
  cp "$FIXTURES32/msedge.exe" "$edge/msedge.exe"
  printf '{\r\n  "name": "orbwell_lg4lpv",\r\n  "path": "qmnhost.exe",\r\n  "type": "stdio"\r\n}\r\n' \
    > "$host/orbwell_lg4lpv.json"

  # Chrome: a kept profile with the viewer extension, and a deleted one.
  local chrome_data="$local_app/Google/Chrome/User Data"
  local ext="$chrome_data/Default/Extensions/lgviewerextensionidaaaaaaaaaaaa/4.1.0_0"
  mkdir -p "$ext/_locales/en" "$ext/js"
  printf '{"profile":{"info_cache":{"Default":{}},"profiles_order":["Default","Profile 2"]}}' \
    > "$chrome_data/Local State"
  printf '{\n  "name": "__MSG_extName__",\n  "description": "閲覧用の拡張機能",\n  "permissions": ["nativeMessaging", "tabs"],\n  "version": "4.1.0"\n}\n' \
    > "$ext/manifest.json"
  printf '{"extname": {"message": "Lantern Guard Viewer"}}' > "$ext/_locales/en/messages.json"
  printf 'chrome.runtime.onMessage.addListener(function () {\n  chrome.tabs.captureVisibleTab(null, {}, function () {});\n});\n' \
    > "$ext/js/background.js"
  # Edge: one profile with a plain extension.
  local edge_data="$local_app/Microsoft/Edge/User Data"
  mkdir -p "$edge_data/Default/Extensions/edgeplainextensionidbbbbbbbbbbbb/1.0_0"
  printf '{"profile":{"profiles_order":["Default"]}}' > "$edge_data/Local State"
  printf '{"name": "Plain Notes", "description": "Notes", "permissions": ["storage"]}' \
    > "$edge_data/Default/Extensions/edgeplainextensionidbbbbbbbbbbbb/1.0_0/manifest.json"

  local reg="$work/browser.reg"
  {
    printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    printf '[HKEY_CLASSES_ROOT\\ChromeHTML\\shell\\open\\command]\r\n'
    printf '@="\\"C:\\\\Program Files\\\\Google\\\\Chrome\\\\Application\\\\chrome.exe\\" --single-argument %%1"\r\n\r\n'
    printf '[HKEY_CLASSES_ROOT\\MSEdgeHTM\\shell\\open\\command]\r\n'
    printf '@="\\"C:\\\\Program Files (x86)\\\\Microsoft\\\\Edge\\\\Application\\\\msedge.exe\\" --single-argument %%1"\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Google\\Chrome\\NativeMessagingHosts\\orbwell_lg4lpv]\r\n'
    printf '@="C:\\\\Program Files\\\\Orbwell\\\\host\\\\orbwell_lg4lpv.json"\r\n\r\n'
    printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones\\3]\r\n'
    printf '"CurrentLevel"=dword:00011500\r\n"1200"=dword:00000000\r\n"1001"=dword:00000001\r\n'
    printf '"1405"=dword:00000000\r\n"1400"=dword:00000000\r\n\r\n'
    # The user's own values: one that wins, one that reads as missing.
    printf '[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones\\3]\r\n'
    printf '"CurrentLevel"=dword:00011500\r\n"1400"=dword:00000001\r\n"1200"=dword:ffffffff\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\Safety\\ActiveXFiltering]\r\n'
    printf '"IsEnabled"=dword:00000001\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\Safety\\ActiveXFilterExceptions\\viewer.example.jp]\r\n'
    printf '"{E4D1A0C2-7B3A-4C55-9A51-3F1B2C3D4E01}"=dword:00000000\r\n\r\n'
    # A disabled, named toolbar and an unnamed helper.
    printf '[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Ext\\Stats\\{E4D1A0C2-7B3A-4C55-9A51-3F1B2C3D4E01}\\iexplore]\r\n'
    printf '"Type"=dword:00000002\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Ext\\Settings\\{E4D1A0C2-7B3A-4C55-9A51-3F1B2C3D4E01}]\r\n'
    printf '"Flags"=dword:00000001\r\n\r\n'
    printf '[HKEY_CLASSES_ROOT\\CLSID\\{E4D1A0C2-7B3A-4C55-9A51-3F1B2C3D4E01}]\r\n'
    printf '@="Lantern ツールバー"\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Ext\\Stats\\{E4D1A0C2-7B3A-4C55-9A51-3F1B2C3D4E02}\\iexplore]\r\n'
    printf '"Type"=dword:00000003\r\n\r\n'
  } > "$work/browser.utf8.reg"
  { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE "$work/browser.utf8.reg"; } > "$reg"
  reg_import "$reg"
}
browser_seed
