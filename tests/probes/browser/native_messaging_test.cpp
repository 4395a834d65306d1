#include "probes/browser/native_messaging.h"

#include <gtest/gtest.h>

#include <string>

#include "base/owner.h"
#include "tests/support/test_support.h"

namespace {
std::wstring Wide(const std::string& ansi) {
  wchar_t buffer[1024] = {};
  MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, buffer, 1024);
  return buffer;
}

TEST(NativeMessaging, ManifestShapesRegistryValuesAndFiles) {
  {
    LogCapture log;
    EXPECT_FALSE(CheckNativeMessaging());
    EXPECT_EQ("★NativeMessagingのレジストリ設定なし \n", log.User());
  }
  ScratchKey key(HKEY_CURRENT_USER, "Software\\Google\\Chrome\\NativeMessagingHosts\\orbwell_lg4lpv");
  ScratchDir dir("browser_native");
  const std::string big(kNativeManifestMaxBytes + 1, ' ');
  struct Case {
    std::string file, content;
    bool result;
    std::string support, user;  // support: the line after "File path"
  } const cases[] = {
      {"a.json", "{\r\n \"name\": \"o\",\r\n \"path\": \"qmnhost.exe\",\r\n \"type\": \"stdio\"\r\n}", true,
       "\"path\"   :  \"qmnhost.exe\"\n", "●NativeMessaging確認\n"},
      // "path" last: the value runs to the end; its line breaks become blanks.
      {"b.json", "{\"type\":\"stdio\",\"path\":\"qmnhost6.exe\"}\r\n", true, "\"path\"   : \"qmnhost6.exe\"}  \n",
       "●NativeMessaging確認\n"},
      {"b2.json", "{\"path\": \"x\r\n\x81\x9C forged\"}", false, "\"path\"   :  \"x  \x81\x9C forged\"}\n",
       "★NativeMessaging pathの値が不正  \"x  \x81\x9C forged\"} \n"},
      {"\x95\x5C\x8E\xA6\\c.json", "{\"path\":\"qmnhost6.exe\",\"x\":1}", true, "\"path\"   : \"qmnhost6.exe\"\n",
       "●NativeMessaging確認\n"},
      {"d.json", "{\"path\": \"qmnhost6.exe\",\"t\":1}", false, "\"path\"   :  \"qmnhost6.exe\"\n",
       "★NativeMessaging pathの値が不正  \"qmnhost6.exe\" \n"},
      {"e.json", "{\"name\":\"o\",\"type\":\"stdio\"}", false, "\"path\"   : \n", "★NativeMessaging pathの値が不正  \n"},
      {"f.json", "", false, "\"path\"   : \n", "★NativeMessaging pathの値が不正  \n"},
      // '%' is shown as it stands, and a long value whole.
      {"g.json", "{\"path\": \"%s%n" + std::string(5000, 'x') + "\"}", false,
       "\"path\"   :  \"%s%n" + std::string(5000, 'x') + "\"}\n",
       "★NativeMessaging pathの値が不正  \"%s%n" + std::string(5000, 'x') + "\"} \n"},
      // Far larger than any manifest: an unreadable file, not a huge read.
      {"h.json", big, false, "", ""},
  };
  for (const Case& c : cases) {
    const std::string path = dir.Write(c.file, c.content);
    key.SetWideString("", nullptr, Wide(path));
    LogCapture log;
    EXPECT_EQ(c.result, CheckNativeMessaging()) << c.file;
    EXPECT_EQ("File path: " + path + " \n" + c.support + c.user, log.Support()) << c.file;
    EXPECT_EQ(c.user, log.User()) << c.file;
    if (c.content.size() == big.size()) {
      EXPECT_NE(std::string::npos, log.Detail().find("★ファイルが読めない path=" + path + "\n"));
    }
  }
  {
    // A pipe that never answers is not read (a read would wait for ever).
    const std::string pipeName = "\\\\.\\pipe\\ReportNativeMessagingTest" + std::to_string(GetCurrentProcessId());
    UniqueHandle pipe(CreateNamedPipeA(pipeName.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 4, 512, 512, 0, nullptr));
    ASSERT_TRUE(pipe);
    key.SetString("", nullptr, pipeName);
    LogCapture log;
    EXPECT_FALSE(CheckNativeMessaging());
    EXPECT_EQ("File path: " + pipeName + " \n", log.Support());
    EXPECT_NE(std::string::npos, log.Detail().find("★ファイルが読めない path=" + pipeName + "\n"));
  }
  const std::string missing = dir.path() + "missing.json";
  const struct {
    DWORD type;
    std::string value, user;
  } values[] = {
      {REG_SZ, "", "★NativeMessagingのレジストリ設定不正 \n"},
      {REG_EXPAND_SZ, missing, "★NativeMessagingのレジストリ設定なし \n"},
      {REG_SZ, missing, "★NativeMessagingのファイルが開けない 2 " + missing + " \n"},
  };
  for (const auto& v : values) {
    key.SetString("", nullptr, v.value, v.type);
    LogCapture log;
    EXPECT_FALSE(CheckNativeMessaging());
    EXPECT_EQ(v.user, log.User());
  }
}
}  // namespace
