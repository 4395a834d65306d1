#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "probes/browser/browser_command_rules.h"
#include "probes/browser/json_scan_rules.h"

namespace {
struct JsonCase {
  const char* text;
  const char* key;
  int depth;
  bool found;
  int type;
  const char* value;
};

TEST(BrowserTextRules, JsonScannerFindsKeysAtTheirDepthWithItsQuirks) {
  const JsonCase cases[] = {
      {"{\"profile\":{\"a\":{},\"profiles_order\":[\"Default\",\"Profile 1\"]}}", "\"profiles_order\":", 2, true,
       kJsonArray, "\"Default\",\"Profile 1\""},
      {"{\"profile\":{\"profiles_order\":[\"Default\"]}}", "\"profiles_order\":", 1, false, kJsonUnknown, ""},
      {"{\"p\":{\"profiles_order\": [\"Default\",\"P 1\"]}}", "\"profiles_order\":", 2, true, kJsonOther,
       " [\"Default\""},
      {"{\"a\":\"x,y\",\"b\":1}", "\"a\":", 1, true, kJsonString, "\"x,y\""},
      {"{\"o\":{\"i\":{\"j\":[1,{}]},\"k\":\"}\"},\"z\":0}", "\"o\":", 1, true, kJsonObject,
       "\"i\":{\"j\":[1,{}]},\"k\":\"}\""},
      // An escaped quote flips the string state: the brace after it counts,
      // so the object runs on to the end of the text.
      {"{\"o\":{\"s\":\"a\\\"{b\"},\"after\":1}", "\"o\":", 1, true, kJsonObject,
       "\"s\":\"a\\\"{b\"},\"after\":1}"},
      {"{\"a\":[1,2", "\"a\":", 1, true, kJsonArray, "1,2"},
      {"{\"a\":", "\"a\":", 1, true, kJsonOther, ""},
      {"}\"a\":1", "\"a\":", -1, true, kJsonOther, "1"},
      {"{\"profiles_ord", "\"profiles_order\":", 1, false, kJsonUnknown, ""},
      {"", "\"a\":", 0, false, kJsonUnknown, ""},
  };
  for (const JsonCase& c : cases) {
    std::size_t start = 0, length = 0;
    int type = -1;
    const std::size_t n = std::strlen(c.text);
    EXPECT_EQ(c.found, ScanJsonValue(c.text, n, c.key, std::strlen(c.key), c.depth, &start, &length, &type)) << c.text;
    EXPECT_EQ(c.type, type) << c.text;
    if (c.found) {
      EXPECT_EQ(c.value, std::string(c.text + start, length)) << c.text;
    }
  }
  auto names = QuotedTexts("\"Default\", \"Profile 1\",\"\",\"Guest", 100);
  ASSERT_EQ(2u, names.size());
  EXPECT_EQ("Profile 1", names[1]);
  // Names that would lead out of the user-data folder are not profile folders.
  for (const char* name : {"Default", "Profile 1", "\x95\x5C\x83\x5C", "a.b"})
    EXPECT_TRUE(IsProfileFolderName(name)) << name;
  for (const char* name : {"", "..", "..\\..\\Roaming", "a/b", "\\\\server\\share", "C:x", "a\\b"})
    EXPECT_FALSE(IsProfileFolderName(name)) << name;
}

TEST(BrowserTextRules, ManifestValuesAndLocaleMessages) {
  std::string text;
  EXPECT_EQ(ManifestValueKind::Literal, FindManifestValue("{\"short_name\":\"n\",\"name\": \"V\"}", "name", '"', '"', text));
  EXPECT_EQ("V", text);
  EXPECT_EQ(ManifestValueKind::Message, FindManifestValue("{\"name\":\"__MSG_appName__\"}", "name", '"', '"', text));
  EXPECT_EQ("appName", text);
  EXPECT_EQ(ManifestValueKind::Literal, FindManifestValue("{\"permissions\": [\"a\", \"b\"]}", "permissions", '[', ']', text));
  EXPECT_EQ("\"a\", \"b\"", text);
  // Not at the first byte, not without a closing character; a reference too
  // short to hold a name gives an empty name.
  EXPECT_EQ(ManifestValueKind::None, FindManifestValue("name\"x\"", "name", '"', '"', text));
  EXPECT_EQ(ManifestValueKind::None, FindManifestValue("{\"permissions\": [\"a\"", "permissions", '[', ']', text));
  EXPECT_EQ(ManifestValueKind::Message, FindManifestValue("{\"name\":\"__MSG_\"}", "name", '"', '"', text));
  EXPECT_EQ("", text);

  const char messages[] = "{\"appname\": {\"message\": \"Lantern\", \"d\": \"x\"}, \"other\": {\"d\": \"none\"}}";
  EXPECT_TRUE(FindLocaleMessage(messages, "appname", text));
  EXPECT_EQ("Lantern", text);
  EXPECT_FALSE(FindLocaleMessage(messages, "appName", text));
  EXPECT_FALSE(FindLocaleMessage(messages, "other", text));
  EXPECT_FALSE(FindLocaleMessage("{\"k\":{\"message\":\"open", "k", text));
  EXPECT_TRUE(IsScriptFileName("a.min.JS"));
  EXPECT_FALSE(IsScriptFileName("a.json"));
}

class StringChunks : public ChunkSource {
 public:
  explicit StringChunks(std::string data) : data_(std::move(data)) {}
  std::size_t Read(char* buffer, std::size_t size) override {
    const std::size_t n = std::min(size, data_.size() - pos_);
    std::memcpy(buffer, data_.data() + pos_, n);
    pos_ += n;
    return n;
  }

 private:
  std::string data_;
  std::size_t pos_ = 0;
};

TEST(BrowserTextRules, KeywordWindowFindsWordsAcrossEveryBoundary) {
  const char* const keywords[] = {"Scrap", "chrome.tabs.captureVisibleTab", ""};
  const std::string word = keywords[1];
  for (std::size_t boundary : {4096u, 8192u, 12288u, 40960u}) {
    for (std::size_t cut = 1; cut < word.size(); ++cut) {
      StringChunks chunks(std::string(boundary - cut, 'x') + word + std::string(5000, 'y'));
      EXPECT_EQ(1, SearchChunksForKeywords(chunks, keywords, 1ULL << 30)) << boundary << " " << cut;
    }
  }
  StringChunks none(std::string(30000, 'z')), first("chrome.tabs.captureVisibleTab Scrap");
  EXPECT_EQ(-1, SearchChunksForKeywords(none, keywords, 1ULL << 30));
  EXPECT_EQ(0, SearchChunksForKeywords(first, keywords, 1ULL << 30));
  StringChunks afterZero(std::string("abc") + '\0' + "Scrap"), capped(std::string(1 << 20, 'q') + "Scrap");
  EXPECT_EQ(-1, SearchChunksForKeywords(afterZero, keywords, 1ULL << 30));
  EXPECT_EQ(-1, SearchChunksForKeywords(capped, keywords, 65536));
}

TEST(BrowserTextRules, ExecutablePathOfOpenCommands) {
  const wchar_t* const cases[][2] = {
      {L"\"C:\\Program Files\\Google\\Chrome\\Application\\chrome.exe\" --single-argument %1",
       L"C:\\Program Files\\Google\\Chrome\\Application\\chrome.exe"},
      {L"C:\\Apps\\Edge\\msedge.exe --flag %1", L"C:\\Apps\\Edge\\msedge.exe"},
      {L"C:\\Program Files\\x\\chrome.exe %1", L"C:\\Program Files\\x\\chrome.exe"},
      {L"C:\\APPS\\CHROME.EXE -- %1", L"C:\\APPS\\CHROME.EXE"},
      {L"C:\\x.exed\\y.exe %1", L"C:\\x.exed\\y.exe"},
      {L"C:\\a b\\c.exe", L"C:\\a b\\c.exe"},
      {L"a.ex", L"a.ex"},
      {L".exe --x", L".exe"},
      {L"\"\" x", L""},
  };
  for (const auto& c : cases) {
    std::wstring path;
    EXPECT_TRUE(ExtractExecutablePath(c[0], path));
    EXPECT_EQ(c[1], path);
  }
  std::wstring path;
  EXPECT_FALSE(ExtractExecutablePath(L"\"C:\\Program Files\\chrome.exe --x", path));
}

TEST(BrowserTextRules, HostManifestPathValue) {
  struct Case {
    const char* data;
    const char* value;
    bool accepted;
  } const cases[] = {
      {"{\"name\":\"o\",\"path\": \"qmnhost.exe\",\"type\":\"stdio\"}", " \"qmnhost.exe\"", true},
      {"{\"path\":\"qmnhost6.exe\",\"type\":\"stdio\"}", "\"qmnhost6.exe\"", true},
      {"{\"path\": \"qmnhost6.exe\",\"t\":1}", " \"qmnhost6.exe\"", false},
      {"{\"path\":\"qmnhost.exe\",\"t\":1}", "\"qmnhost.exe\"", false},
      {"{\"type\":\"stdio\",\"path\":\"qmnhost6.exe\"\r\n}\r\n", "\"qmnhost6.exe\"\r\n}\r\n", true},
      {"{\"type\":\"stdio\"}", "", false},
      {"\"qmnhost6.exe\" and no key", "", true},  // the file's first bytes compared
      {"{\"path\"", "", false},
      {"{\"path\":\"qmnhost6.ex", "\"qmnhost6.ex", false},
  };
  for (const Case& c : cases) {
    const std::size_t size = std::strlen(c.data);
    const ByteSpan span = FindManifestPathValue(c.data, size);
    EXPECT_EQ(c.value, std::string(c.data + span.start, span.length)) << c.data;
    EXPECT_EQ(c.accepted, IsAcceptedHostValue(c.data, size, span.start)) << c.data;
  }
}
}  // namespace
