#include "probes/browser/native_messaging.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/test_support.h"

namespace {
const char kHostKey[] = "Software\\Google\\Chrome\\NativeMessagingHosts\\orbwell_lg4lpv";

std::wstring Wide(const std::string& ansi) {
  wchar_t buffer[1024] = {};
  MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, buffer, 1024);
  return buffer;
}

struct Registration {
  ScratchKey key{HKEY_CURRENT_USER, kHostKey};
  ScratchDir dir{"browser_native"};
  std::string Manifest(const std::string& name, const std::string& text) {
    const std::string path = dir.Write(name, text);
    key.SetWideString("", nullptr, Wide(path));
    return path;
  }
};

struct Outcome {
  bool result;
  std::string user, support, detail;
};
Outcome Check() {
  LogCapture log;
  const bool result = CheckNativeMessaging();
  return {result, log.User(), log.Support(), log.Detail()};
}

TEST(NativeMessaging, AcceptedManifestShapes) {
  Registration reg;
  {
    const std::string path = reg.Manifest("host32.json",
                                          "{\r\n \"name\": \"orbwell_lg4lpv\",\r\n \"path\": \"qmnhost.exe\",\r\n"
                                          " \"type\": \"stdio\"\r\n}\r\n");
    Outcome run = Check();
    EXPECT_TRUE(run.result);
    EXPECT_EQ("●NativeMessaging確認\n", run.user);
    EXPECT_EQ("File path: " + path + " \n\"path\"   :  \"qmnhost.exe\"\n●NativeMessaging確認\n", run.support);
  }
  {
    // The 64-bit host directly after the colon, "path" last in the object:
    // the shown value runs to the end of the file.
    reg.Manifest("host64.json", "{\"type\":\"stdio\",\"path\":\"qmnhost6.exe\"}\r\n");
    Outcome run = Check();
    EXPECT_TRUE(run.result);
    // The value's own line end ends the line: the log adds none.
    EXPECT_NE(std::string::npos, run.support.find("\"path\"   : \"qmnhost6.exe\"}\r\n●NativeMessaging確認\n"));
  }
  {
    // A manifest in a folder whose cp932 name has a 0x5C trail byte.
    reg.Manifest("\x95\x5C\x8E\xA6\\host.json", "{\"path\":\"qmnhost6.exe\",\"x\":1}");
    EXPECT_TRUE(Check().result);
  }
}

TEST(NativeMessaging, RejectedManifestShapes) {
  Registration reg;
  {
    reg.Manifest("blank64.json", "{\"path\": \"qmnhost6.exe\",\"type\":\"stdio\"}");
    Outcome run = Check();
    EXPECT_FALSE(run.result);
    EXPECT_EQ("★NativeMessaging pathの値が不正  \"qmnhost6.exe\" \n", run.user);
  }
  {
    reg.Manifest("full.json", "{\"path\": \"C:\\\\Program Files\\\\Q\\\\qmnhost.exe\",\"type\":\"stdio\"}");
    EXPECT_FALSE(Check().result);
  }
  {
    // No "path" member: an empty value, and the file's first bytes compared.
    reg.Manifest("nopath.json", "{\"name\":\"orbwell_lg4lpv\",\"type\":\"stdio\"}");
    Outcome run = Check();
    EXPECT_FALSE(run.result);
    EXPECT_NE(std::string::npos, run.support.find("\"path\"   : \n"));
    EXPECT_EQ("★NativeMessaging pathの値が不正  \n", run.user);
  }
  {
    // A value holding '%' and far more than a line shows is cut at 199 bytes.
    reg.Manifest("long.json", "{\"path\": \"%s%n" + std::string(5000, 'x') + "\"}");
    Outcome run = Check();
    EXPECT_FALSE(run.result);
    EXPECT_EQ("★NativeMessaging pathの値が不正  \"%s%n" + std::string(199 - 6, 'x') + " \n", run.user);
  }
}

TEST(NativeMessaging, RegistryAndFileFailures) {
  {
    LogCapture log;
    EXPECT_FALSE(CheckNativeMessaging());
    EXPECT_EQ("★NativeMessagingのレジストリ設定なし \n", log.User());
  }
  Registration reg;
  {
    reg.key.SetWideString("", nullptr, L"");
    Outcome run = Check();
    EXPECT_FALSE(run.result);
    EXPECT_EQ("★NativeMessagingのレジストリ設定不正 \n", run.user);
    EXPECT_EQ(run.user, run.detail);
  }
  {
    reg.key.SetString("", nullptr, reg.dir.path() + "x.json", REG_EXPAND_SZ);
    EXPECT_EQ("★NativeMessagingのレジストリ設定なし \n", Check().user);
  }
  {
    const std::string missing = reg.dir.path() + "missing.json";
    reg.key.SetWideString("", nullptr, Wide(missing));
    Outcome run = Check();
    EXPECT_FALSE(run.result);
    EXPECT_EQ("★NativeMessagingのファイルが開けない 2 " + missing + " \n", run.user);
  }
  {
    // Larger than any manifest: reported as unreadable, not read whole.
    const std::string path = reg.Manifest("huge.json", std::string(kNativeManifestMaxBytes + 1, ' '));
    Outcome run = Check();
    EXPECT_FALSE(run.result);
    EXPECT_EQ("", run.user);
    EXPECT_EQ("File path: " + path + " \n", run.support);
    EXPECT_EQ("File path: " + path + " \n★ファイルが読めない path=" + path + "\n", run.detail);
  }
  {
    reg.Manifest("empty.json", "");
    Outcome run = Check();
    EXPECT_FALSE(run.result);
    EXPECT_EQ("★NativeMessaging pathの値が不正  \n", run.user);
  }
}
}  // namespace
