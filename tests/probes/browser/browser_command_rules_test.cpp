#include "probes/browser/browser_command_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace {
std::wstring PathOf(const std::wstring& command) {
  std::wstring path;
  EXPECT_TRUE(ExtractExecutablePath(command, path)) << std::string(command.begin(), command.end());
  return path;
}

TEST(ExecutablePath, QuotedUnquotedAndShortCommands) {
  EXPECT_EQ(L"C:\\Program Files\\Google\\Chrome\\Application\\chrome.exe",
            PathOf(L"\"C:\\Program Files\\Google\\Chrome\\Application\\chrome.exe\" --single-argument %1"));
  EXPECT_EQ(L"C:\\Apps\\Edge\\msedge.exe", PathOf(L"C:\\Apps\\Edge\\msedge.exe --flag %1"));
  EXPECT_EQ(L"C:\\Program Files\\x\\chrome.exe", PathOf(L"C:\\Program Files\\x\\chrome.exe %1"));
  EXPECT_EQ(L"C:\\APPS\\CHROME.EXE", PathOf(L"C:\\APPS\\CHROME.EXE -- %1"));
  EXPECT_EQ(L"C:\\a b\\c.exe", PathOf(L"C:\\a b\\c.exe"));
  EXPECT_EQ(L"a.ex", PathOf(L"a.ex"));
  EXPECT_EQ(L"", PathOf(L""));
  EXPECT_EQ(L".exe", PathOf(L".exe --x"));
  // ".exe" inside a word does not cut; only a blank after it does.
  EXPECT_EQ(L"C:\\x.exed\\y.exe", PathOf(L"C:\\x.exed\\y.exe %1"));
  EXPECT_EQ(L"", PathOf(L"\"\" x"));
  std::wstring path = L"untouched";
  EXPECT_FALSE(ExtractExecutablePath(L"\"C:\\Program Files\\chrome.exe --x", path));
}

struct Verdict {
  std::string value;
  bool accepted;
};
Verdict ScanManifest(const std::string& data) {
  const ByteSpan span = FindManifestPathValue(data.data(), data.size());
  return {data.substr(span.start, span.length), IsAcceptedHostValue(data.data(), data.size(), span.start)};
}

TEST(NativeManifestPath, TheTwoHostNamesAndTheirBlanks) {
  Verdict v32 = ScanManifest("{\"name\":\"orbwell_lg4lpv\",\"path\": \"qmnhost.exe\",\"type\":\"stdio\"}");
  EXPECT_EQ(" \"qmnhost.exe\"", v32.value);
  EXPECT_TRUE(v32.accepted);
  EXPECT_TRUE(ScanManifest("{\"path\":\"qmnhost6.exe\",\"type\":\"stdio\"}").accepted);
  EXPECT_FALSE(ScanManifest("{\"path\": \"qmnhost6.exe\",\"type\":\"stdio\"}").accepted);
  EXPECT_FALSE(ScanManifest("{\"path\":\"qmnhost.exe\",\"type\":\"stdio\"}").accepted);
  EXPECT_FALSE(ScanManifest("{\"path\": \"C:\\\\Program Files\\\\qmnhost.exe\",\"t\":1}").accepted);
}

TEST(NativeManifestPath, LastMemberRunsToTheEndAndMissingKey) {
  const std::string last = "{\"type\":\"stdio\",\"path\":\"qmnhost6.exe\"\r\n}\r\n";
  Verdict v = ScanManifest(last);
  EXPECT_EQ("\"qmnhost6.exe\"\r\n}\r\n", v.value);
  EXPECT_TRUE(v.accepted);
  Verdict none = ScanManifest("{\"type\":\"stdio\"}");
  EXPECT_EQ("", none.value);
  EXPECT_FALSE(none.accepted);
  // Without the key the file's first bytes are compared.
  EXPECT_TRUE(ScanManifest("\"qmnhost6.exe\" and no key").accepted);
  // Key at the very end, and values shorter than a host name.
  EXPECT_EQ("", ScanManifest("{\"path\"").value);
  EXPECT_FALSE(ScanManifest("{\"path\":").accepted);
  EXPECT_FALSE(ScanManifest("{\"path\":\"qmnhost6.ex").accepted);
}
}  // namespace
