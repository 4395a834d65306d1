#include "probes/browser/json_scan_rules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {
struct Scan {
  bool ok = false;
  int type = -1;
  std::string value;
};

Scan ScanFor(const std::string& text, const std::string& key, int depth) {
  Scan s;
  std::size_t start = 0, length = 0;
  s.ok = ScanJsonValue(text.data(), text.size(), key.data(), key.size(), depth, &start, &length, &s.type);
  if (s.ok) s.value = text.substr(start, length);
  return s;
}

const char kProfilesOrder[] = "\"profiles_order\":";

TEST(JsonScan, ProfilesOrderArrayAtItsDepthOnly) {
  const std::string text = "{\"profile\":{\"info_cache\":{},\"profiles_order\":[\"Default\",\"Profile 1\"]}}";
  Scan s = ScanFor(text, kProfilesOrder, 2);
  ASSERT_TRUE(s.ok);
  EXPECT_EQ(kJsonArray, s.type);
  EXPECT_EQ("\"Default\",\"Profile 1\"", s.value);
  Scan shallow = ScanFor(text, kProfilesOrder, 1);
  EXPECT_FALSE(shallow.ok);
  EXPECT_EQ(kJsonUnknown, shallow.type);
}

TEST(JsonScan, BlankBeforeBracketIsAnOtherValueUpToComma) {
  Scan s = ScanFor("{\"p\":{\"profiles_order\": [\"Default\",\"Profile 1\"]}}", kProfilesOrder, 2);
  ASSERT_TRUE(s.ok);
  EXPECT_EQ(kJsonOther, s.type);
  EXPECT_EQ(" [\"Default\"", s.value);
}

TEST(JsonScan, StringsKeepQuotesAndCommasInside) {
  Scan s = ScanFor("{\"a\":\"x,y\",\"b\":1}", "\"a\":", 1);
  ASSERT_TRUE(s.ok);
  EXPECT_EQ(kJsonString, s.type);
  EXPECT_EQ("\"x,y\"", s.value);
  Scan n = ScanFor("{\"a\":\"x\",\"b\":12}", "\"b\":", 1);
  ASSERT_TRUE(n.ok);
  EXPECT_EQ(kJsonOther, n.type);
  EXPECT_EQ("12", n.value);
}

TEST(JsonScan, ObjectsNestAndEndAtTheirOwnBrace) {
  Scan s = ScanFor("{\"o\":{\"i\":{\"j\":[1,{}]},\"k\":\"}\"},\"z\":0}", "\"o\":", 1);
  ASSERT_TRUE(s.ok);
  EXPECT_EQ(kJsonObject, s.type);
  EXPECT_EQ("\"i\":{\"j\":[1,{}]},\"k\":\"}\"", s.value);
}

TEST(JsonScan, EscapedQuoteFlipsTheStringStateWithoutEscapeHandling) {
  // The escaped quote ends the "string" early, so the brace inside the real
  // string counts and the object value runs on to the end of the text.
  const std::string text = "{\"o\":{\"s\":\"a\\\"{b\"},\"after\":1}";
  Scan s = ScanFor(text, "\"o\":", 1);
  ASSERT_TRUE(s.ok);
  EXPECT_EQ(kJsonObject, s.type);
  EXPECT_EQ(text.substr(6), s.value);
  // A key inside a string is still matched at its level.
  Scan inside = ScanFor("{\"t\":\"\\\"k\\\":5\"}", "\"k\\\":", 1);
  EXPECT_TRUE(inside.ok);
}

TEST(JsonScan, TruncatedAndDegenerateTexts) {
  Scan open = ScanFor("{\"a\":[1,2", "\"a\":", 1);
  ASSERT_TRUE(open.ok);
  EXPECT_EQ("1,2", open.value);
  Scan atEnd = ScanFor("{\"a\":", "\"a\":", 1);
  ASSERT_TRUE(atEnd.ok);
  EXPECT_EQ("", atEnd.value);
  EXPECT_FALSE(ScanFor("", "\"a\":", 0).ok);
  EXPECT_FALSE(ScanFor("{}}}}\"a\":1", "\"a\":", 1).ok);
  EXPECT_TRUE(ScanFor("}\"a\":1", "\"a\":", -1).ok);
  // The key must fit in the text: no read past its end.
  EXPECT_FALSE(ScanFor("{\"profiles_ord", kProfilesOrder, 1).ok);
}

TEST(QuotedNames, NamesInOrderWithoutEmptyOrUnpaired) {
  auto names = QuotedTexts("\"Default\", \"Profile 1\",\"\",\"Guest", 100);
  ASSERT_EQ(2u, names.size());
  EXPECT_EQ("Default", names[0]);
  EXPECT_EQ("Profile 1", names[1]);
  EXPECT_EQ(1u, QuotedTexts("\"a\",\"b\",\"c\"", 1).size());
}

TEST(ManifestValue, QuotedKeyAnywhereAndMessageReferences) {
  std::string text;
  EXPECT_EQ(ManifestValueKind::Literal,
            FindManifestValue("{\"short_name\":\"no\",\"name\": \"Viewer\"}", "name", '"', '"', text));
  EXPECT_EQ("Viewer", text);
  EXPECT_EQ(ManifestValueKind::Message,
            FindManifestValue("{\"name\":\"__MSG_appName__\"}", "name", '"', '"', text));
  EXPECT_EQ("appName", text);
  EXPECT_EQ(ManifestValueKind::Literal,
            FindManifestValue("{\"permissions\": [\"tabs\", \"nativeMessaging\"]}", "permissions", '[', ']', text));
  EXPECT_EQ("\"tabs\", \"nativeMessaging\"", text);
  // The key at the very first byte is not looked at; a missing closing character gives nothing.
  EXPECT_EQ(ManifestValueKind::None, FindManifestValue("name\"x\"", "name", '"', '"', text));
  EXPECT_EQ(ManifestValueKind::None, FindManifestValue("{\"permissions\": [\"tabs\"", "permissions", '[', ']', text));
  EXPECT_EQ(ManifestValueKind::None, FindManifestValue("", "name", '"', '"', text));
  // A reference too short to hold a name finds no message.
  EXPECT_EQ(ManifestValueKind::Message, FindManifestValue("{\"name\":\"__MSG_\"}", "name", '"', '"', text));
  EXPECT_EQ("", text);
}

TEST(LocaleMessage, FoundAfterItsKeyOnly) {
  const char messages[] =
      "{\"appname\": {\"message\": \"Lantern Viewer\", \"description\": \"x\"},"
      " \"other\": {\"description\": \"no message here\"}}";
  std::string message;
  EXPECT_TRUE(FindLocaleMessage(messages, "appname", message));
  EXPECT_EQ("Lantern Viewer", message);
  EXPECT_FALSE(FindLocaleMessage(messages, "appName", message));
  // "other" has no message of its own and nothing follows it.
  EXPECT_FALSE(FindLocaleMessage(messages, "other", message));
  EXPECT_FALSE(FindLocaleMessage("", "appname", message));
  EXPECT_FALSE(FindLocaleMessage("{\"k\":{\"message\":\"open", "k", message));
}

TEST(TextRules, OneLineAndScriptNames) {
  EXPECT_EQ(" \"tabs\",   \"storage\" ", OneLineText("\r\n\t\"tabs\",\r\n  \"storage\"\n"));
  EXPECT_TRUE(IsScriptFileName("a.min.JS"));
  EXPECT_FALSE(IsScriptFileName("a.json"));
  EXPECT_FALSE(IsScriptFileName("js"));
}

class StringChunks : public ChunkSource {
 public:
  explicit StringChunks(std::string data) : data_(std::move(data)) {}
  std::size_t Read(char* buffer, std::size_t size) override {
    const std::size_t n = std::min(size, data_.size() - pos_);
    std::memcpy(buffer, data_.data() + pos_, n);
    pos_ += n;
    reads_++;
    return n;
  }
  int reads_ = 0;

 private:
  std::string data_;
  std::size_t pos_ = 0;
};

TEST(KeywordWindow, FindsKeywordsAcrossEveryBoundary) {
  const char* const keywords[] = {"chrome.tabs.captureVisibleTab", ""};
  const std::string word = keywords[0];
  // Every split of the keyword over a 4096-byte boundary, early and late in the file.
  for (std::size_t boundary : {4096u, 8192u, 12288u, 40960u}) {
    for (std::size_t cut = 1; cut < word.size(); ++cut) {
      std::string data(boundary - cut, 'x');
      data += word;
      data += std::string(5000, 'y');
      StringChunks chunks(data);
      EXPECT_EQ(0, SearchChunksForKeywords(chunks, keywords, 1ULL << 30)) << boundary << " " << cut;
    }
  }
  StringChunks none(std::string(30000, 'z'));
  EXPECT_EQ(-1, SearchChunksForKeywords(none, keywords, 1ULL << 30));
}

TEST(KeywordWindow, ListOrderShortFilesZeroBytesAndTheReadCap) {
  const char* const keywords[] = {"Scrap", "Acrobat", ""};
  StringChunks both(std::string("Acrobat and Scrap"));
  EXPECT_EQ(0, SearchChunksForKeywords(both, keywords, 1ULL << 30));
  StringChunks afterZero(std::string("abc") + '\0' + "Acrobat");
  EXPECT_EQ(-1, SearchChunksForKeywords(afterZero, keywords, 1ULL << 30));
  std::string far(1 << 20, 'q');
  far += "Scrap";
  StringChunks capped(far);
  EXPECT_EQ(-1, SearchChunksForKeywords(capped, keywords, 65536));
  EXPECT_LT(capped.reads_, 20);
}
}  // namespace
