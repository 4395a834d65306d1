#include "probes/browser/native_messaging.h"

#include <string>

#include "base/cp932_rules.h"
#include "base/owner.h"
#include "log/report_log.h"
#include "probes/browser/browser_command_rules.h"
#include "query/module_line_rules.h"
#include "query/outside_file.h"
#include "query/platform.h"

namespace {
const wchar_t kHostKey[] = L"Software\\Google\\Chrome\\NativeMessagingHosts\\orbwell_lg4lpv";
const DWORD kValueBytes = 324;

std::string WideToAnsi(const wchar_t* wide) {
  const int size = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return std::string();
  std::string ansi(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide, -1, &ansi[0], size, nullptr, nullptr);
  ansi.resize(static_cast<std::size_t>(size) - 1);
  return ansi;
}
}  // namespace

bool CheckNativeMessaging() {
  wchar_t value[kValueBytes / sizeof(wchar_t)] = {};
  if (RegQueryStringW(HKEY_CURRENT_USER, kHostKey, nullptr, value, kValueBytes, 0) == nullptr) {
    WriteUserLine("★NativeMessagingのレジストリ設定なし \n");
    return false;
  }
  if (value[0] == L'\0') {
    WriteUserLine("★NativeMessagingのレジストリ設定不正 \n");
    return false;
  }
  const std::string path = WideToAnsi(value);
  // The key is the user's: its text is shown without control characters.
  const std::string shownPath = WithoutControls(path);
  WriteSupportLine("File path: %.*s \n", WholeCharsLength(shownPath, 199), shownPath.c_str());

  UniqueHandle file(OpenOutsideFile(path.c_str(), GENERIC_READ, FILE_SHARE_READ, 0));
  // A pipe or a device opens but is never read: it is a file that cannot be read.
  const DWORD error = file ? ERROR_SUCCESS : GetLastError();
  if (!file && error != ERROR_INVALID_FUNCTION) {
    WriteUserLine("★NativeMessagingのファイルが開けない %d %.*s ", static_cast<int>(error),
                  WholeCharsLength(shownPath, 199), shownPath.c_str());
    return false;
  }
  // A file far larger than any host manifest is not read whole.
  const DWORD size = file ? GetFileSize(file.get(), nullptr) : INVALID_FILE_SIZE;
  std::string data;
  DWORD got = 0;
  bool read = size != INVALID_FILE_SIZE && size <= kNativeManifestMaxBytes;
  if (read) {
    data.assign(size + 1, '\0');
    read = ReadFile(file.get(), &data[0], size, &got, nullptr) != FALSE;
  }
  file.reset();
  if (!read) {
    WriteDetailLine("★ファイルが読めない path=%.*s", WholeCharsLength(shownPath, 199), shownPath.c_str());
    return false;
  }
  const ByteSpan span = FindManifestPathValue(data.data(), got);
  // The value is shown with its whole length; its line breaks (a last member
  // runs to the end of the file) become blanks so it stays on its line.
  const std::string shown = WithoutControls(std::string(data.data() + span.start, span.length));
  WriteSupportLine("%.99s   : %s", "\"path\"", shown.c_str());
  if (IsAcceptedHostValue(data.data(), got, span.start)) {
    WriteUserLine("●NativeMessaging確認");
    return true;
  }
  WriteUserLine("★NativeMessaging pathの値が不正 %s ", shown.c_str());
  return false;
}
