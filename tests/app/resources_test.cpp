// The built programs: resources, image kinds and what they link.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "query/version_info.h"
#include "tests/support/test_support.h"

namespace {
std::string Report64() { return Bin64() + "Report64.exe"; }
std::string Report32() { return Bin32() + "Report.exe"; }
std::string Modlist6() { return Bin64() + "Modlist6.exe"; }

std::string Narrow(const wchar_t* wide, int count) {
  char text[512] = {};
  WideCharToMultiByte(932, 0, wide, count, text, sizeof text - 1, nullptr, nullptr);
  return text;
}

// A resource of a program opened as data, as raw bytes.
std::string Resource(HMODULE module, const char* type, const char* name, WORD language) {
  HRSRC found = FindResourceExA(module, type, name, language);
  if (found == nullptr) return std::string();
  const void* data = LockResource(LoadResource(module, found));
  return data ? std::string(static_cast<const char*>(data), SizeofResource(module, found)) : std::string();
}

class ReportProgramTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    path_ = GetParam() ? Report64() : Report32();
    module_ = LoadLibraryExA(path_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module_, nullptr) << path_;
  }
  void TearDown() override {
    if (module_) FreeLibrary(module_);
  }
  std::string path_;
  HMODULE module_ = nullptr;
};

const WORD kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);

TEST_P(ReportProgramTest, VersionResource) {
  EXPECT_EQ(GetFileVersionQuad(path_.c_str()), MakeVersionQuad(1, 7, 27, 0));
  std::string company, original, product, productVersion;
  EXPECT_EQ(ReadFileVersionInfo(path_.c_str(), company, original, product, productVersion), 0x04B00411u);
  EXPECT_FALSE(company.empty());
  EXPECT_EQ(original, "Report.EXE");
  EXPECT_EQ(product, "Report ｱﾌﾟﾘｹｰｼｮﾝ");
  EXPECT_EQ(productVersion, "1, 7, 0, 0");
  const std::string block = Resource(module_, MAKEINTRESOURCEA(16), MAKEINTRESOURCEA(1), kJapanese);
  ASSERT_FALSE(block.empty());
  std::vector<char> copy(block.begin(), block.end());
  copy.resize(copy.size() * 3);
  for (const auto& entry : {std::make_pair("FileDescription", "表示調査レポート用"), std::make_pair("InternalName", "Report"),
                            std::make_pair("Comments", ""), std::make_pair("SpecialBuild", "")}) {
    void* value = nullptr;
    UINT length = 0;
    const std::string sub = std::string("\\StringFileInfo\\041104b0\\") + entry.first;
    ASSERT_TRUE(VerQueryValueA(copy.data(), sub.c_str(), &value, &length)) << entry.first;
    EXPECT_EQ(std::string(static_cast<const char*>(value), strnlen(static_cast<const char*>(value), length)), entry.second);
  }
}

TEST_P(ReportProgramTest, LimitValuesInTheJapaneseStringTable) {
  const char* expected[14] = {nullptr, " ", "12", "12", "6.1", "10.0", "11", "11", "15", "23", "14", "16", "6", "9"};
  EXPECT_NE(FindResourceExA(module_, MAKEINTRESOURCEA(6), MAKEINTRESOURCEA(1), kJapanese), nullptr);
  for (UINT id = 1; id <= 13; ++id) {
    char text[64] = {};
    EXPECT_GT(LoadStringA(module_, id, text, sizeof text), 0) << id;
    EXPECT_STREQ(text, expected[id]) << id;
  }
}

TEST_P(ReportProgramTest, CarriesTheCompanionByteForByte) {
  const std::string embedded = Resource(module_, MAKEINTRESOURCEA(10), "MODLIST6.EXE", kJapanese);
  const std::string built = ReadWholeFile(Modlist6());
  ASSERT_GT(built.size(), 1000u);
  EXPECT_TRUE(embedded == built) << embedded.size() << " vs " << built.size();
}

TEST_P(ReportProgramTest, IconsAndDpiAwareManifest) {
  const std::string group = Resource(module_, MAKEINTRESOURCEA(14), MAKEINTRESOURCEA(128), kJapanese);
  ASSERT_GE(group.size(), 6u);
  WORD count = 0;
  std::memcpy(&count, group.data() + 4, 2);
  EXPECT_EQ(count, 2);
  const std::string manifest = Resource(module_, MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(1), kJapanese);
  const size_t aware = manifest.find("dpiAware");
  ASSERT_NE(aware, std::string::npos) << manifest;
  EXPECT_NE(manifest.find("true", aware), std::string::npos);
  // No supported-OS list: Windows 8.1 to 11 then answer GetVersionExA with
  // 6.2.9200, which the "OSバージョン" line shows; a list naming Windows 10
  // would make that line read 10.0.x there instead.
  EXPECT_EQ(manifest.find("supportedOS"), std::string::npos) << manifest;
  EXPECT_EQ(manifest.find("compatibility"), std::string::npos) << manifest;
}

// Reads the extended dialog template as the dialog manager does.
class TemplateReader {
 public:
  explicit TemplateReader(const std::string& bytes) : bytes_(bytes) {}
  template <class T>
  T Get() {
    T value{};
    if (at_ + sizeof value <= bytes_.size()) std::memcpy(&value, bytes_.data() + at_, sizeof value);
    at_ += sizeof value;
    return value;
  }
  // A name or ordinal: ordinals come back as "#n".
  std::string NameOrOrdinal() {
    const WORD first = Get<WORD>();
    if (first == 0xFFFF) return "#" + std::to_string(Get<WORD>());
    at_ -= 2;
    return Text();
  }
  std::string Text() {
    std::wstring wide;
    for (WORD c; (c = Get<WORD>()) != 0 && at_ <= bytes_.size();) wide += static_cast<wchar_t>(c);
    return Narrow(wide.c_str(), static_cast<int>(wide.size()));
  }
  void AlignToDword() { at_ = (at_ + 3) & ~static_cast<size_t>(3); }

 private:
  const std::string& bytes_;
  size_t at_ = 0;
};

std::string ClassName(const std::string& raw) {
  if (raw == "#128") return "button";
  if (raw == "#129") return "edit";
  std::string lower;
  for (char c : raw) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return lower;
}

TEST_P(ReportProgramTest, DialogTemplateAsDesigned) {
  const std::string bytes = Resource(module_, MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(102), kJapanese);
  ASSERT_GT(bytes.size(), 26u);
  TemplateReader r(bytes);
  EXPECT_EQ(r.Get<WORD>(), 1);       // extended template
  EXPECT_EQ(r.Get<WORD>(), 0xFFFF);
  r.Get<DWORD>();                    // help id
  EXPECT_EQ(r.Get<DWORD>(), 0x00040000u);
  EXPECT_EQ(r.Get<DWORD>(), 0x90C800C0u);
  const WORD items = r.Get<WORD>();
  EXPECT_EQ(items, 7);
  EXPECT_EQ(r.Get<short>(), 0);
  EXPECT_EQ(r.Get<short>(), 0);
  EXPECT_EQ(r.Get<short>(), 190);
  EXPECT_EQ(r.Get<short>(), 218);
  EXPECT_EQ(r.NameOrOrdinal(), "");  // no menu
  EXPECT_EQ(r.NameOrOrdinal(), "");  // default class
  EXPECT_EQ(r.Text(), "Report");
  EXPECT_EQ(r.Get<WORD>(), 9);       // points
  EXPECT_EQ(r.Get<WORD>(), 0);       // weight
  EXPECT_EQ(r.Get<BYTE>(), 0);       // italic
  EXPECT_EQ(r.Get<BYTE>(), 1);       // character set
  EXPECT_EQ(r.Text(), "ＭＳ Ｐゴシック");

  struct Item {
    DWORD id;
    const char* cls;
    const char* text;
    short x, y, cx, cy;
    DWORD style;
  };
  const Item expected[7] = {
      {1, "button", "close 閉じる", 133, 197, 50, 14, 0x50010001}, {3, "button", "全てコピー", 23, 197, 21, 14, 0x48010000},
      {1000, "edit", "", 7, 132, 176, 59, 0x50B10884},           {1001, "edit", "", 7, 16, 176, 103, 0x50B10884},
      {4, "button", "save... 保存", 81, 197, 47, 14, 0x50010000}, {1002, "edit", "", 7, 197, 24, 14, 0x48B10884},
      {5, "button", "save", 57, 197, 18, 14, 0x50010000},
  };
  for (int i = 0; i < items && i < 7; ++i) {
    r.AlignToDword();
    r.Get<DWORD>();  // help id
    EXPECT_EQ(r.Get<DWORD>(), 0u) << i;
    EXPECT_EQ(r.Get<DWORD>(), expected[i].style) << i;
    EXPECT_EQ(r.Get<short>(), expected[i].x) << i;
    EXPECT_EQ(r.Get<short>(), expected[i].y) << i;
    EXPECT_EQ(r.Get<short>(), expected[i].cx) << i;
    EXPECT_EQ(r.Get<short>(), expected[i].cy) << i;
    EXPECT_EQ(r.Get<DWORD>(), expected[i].id) << i;
    EXPECT_EQ(ClassName(r.NameOrOrdinal()), expected[i].cls) << i;
    EXPECT_EQ(r.NameOrOrdinal(), expected[i].text) << i;
    const WORD extra = r.Get<WORD>();
    for (WORD e = 0; e < extra; ++e) r.Get<BYTE>();
  }
}

INSTANTIATE_TEST_SUITE_P(Builds, ReportProgramTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "x64" : "shipped_x86"; });

// ---- Image headers ---------------------------------------------------------

struct ImageFacts {
  WORD machine = 0;
  DWORD timeStamp = 1;
  WORD subsystem = 0;
  std::vector<std::string> imports;  // lower-case library names
};
template <class T>
T At(const std::string& image, size_t offset) {
  T value{};
  if (offset + sizeof value <= image.size()) std::memcpy(&value, image.data() + offset, sizeof value);
  return value;
}
ImageFacts Facts(const std::string& image) {
  ImageFacts facts;
  const DWORD pe = At<DWORD>(image, 60);
  facts.machine = At<WORD>(image, pe + 4);
  facts.timeStamp = At<DWORD>(image, pe + 8);
  const WORD optionalSize = At<WORD>(image, pe + 20);
  const size_t optional = pe + 24;
  facts.subsystem = At<WORD>(image, optional + 68);  // same place in PE32 and PE32+
  const bool plus = At<WORD>(image, optional) == 0x20B;
  const DWORD importRva = At<DWORD>(image, optional + (plus ? 120 : 104));
  // File offset of an address, through the section table.
  const WORD sections = At<WORD>(image, pe + 6);
  auto offsetOf = [&](DWORD rva) -> size_t {
    for (WORD i = 0; i < sections; ++i) {
      const size_t header = optional + optionalSize + 40u * i;
      const DWORD start = At<DWORD>(image, header + 12), size = At<DWORD>(image, header + 16);
      if (rva >= start && rva < start + size) return At<DWORD>(image, header + 20) + (rva - start);
    }
    return image.size();
  };
  for (size_t d = offsetOf(importRva); d + 20 <= image.size() && At<DWORD>(image, d + 12) != 0; d += 20) {
    std::string name;
    for (size_t c = offsetOf(At<DWORD>(image, d + 12)); c < image.size() && image[c] != '\0'; ++c)
      name += static_cast<char>(image[c] >= 'A' && image[c] <= 'Z' ? image[c] - 'A' + 'a' : image[c]);
    facts.imports.push_back(name);
  }
  return facts;
}

TEST(BuiltImagesTest, KindsWithoutTimeStampOrRuntimeLibraries) {
  struct Expect {
    std::string path;
    WORD machine;
  } images[] = {{Report32(), 0x014C}, {Report64(), 0x8664}, {Modlist6(), 0x8664}};
  for (const Expect& e : images) {
    const std::string image = ReadWholeFile(e.path);
    ASSERT_FALSE(image.empty()) << e.path;
    const ImageFacts facts = Facts(image);
    EXPECT_EQ(facts.machine, e.machine) << e.path;
    EXPECT_EQ(facts.timeStamp, 0u) << e.path;   // same bytes from every build
    EXPECT_EQ(facts.subsystem, 2) << e.path;    // GUI: no console window appears
    // No MinGW runtime beside the program, and only libraries that Windows 7
    // to 11 all take from the system folder (KnownDLLs, ntdll, comctl32 by
    // the manifest): any other name would be looked for beside the program
    // before its first line runs. version, wininet and winspool are
    // delay-loaded.
    EXPECT_GE(facts.imports.size(), 2u) << e.path;
    for (const std::string& library : facts.imports) {
      EXPECT_TRUE(library == "kernel32.dll" || library == "user32.dll" || library == "gdi32.dll" ||
                  library == "advapi32.dll" || library == "shell32.dll" || library == "comdlg32.dll" ||
                  library == "ole32.dll" || library == "shlwapi.dll" || library == "msvcrt.dll" ||
                  library == "ntdll.dll" || library == "comctl32.dll")
          << e.path << " imports " << library;
    }
  }
}

// Report's entry limits the search before anything else runs, and the
// delay-load hook keeps to the system folder even where the search was
// widened again: copies planted beside the program, which Wine is told to
// prefer as Windows does for names that are not KnownDLLs, are never loaded.
TEST(BuiltImagesTest, BareLibraryNamesNeverReachCopiesBesideTheProgram) {
  ScratchDir dir("library_search");
  const std::string probe = dir.path() + "search_probe.exe";
  ASSERT_TRUE(CopyFileA((Bin64() + "search_probe.exe").c_str(), probe.c_str(), FALSE));
  for (const char* name : {"dwmapi.dll", "wininet.dll"})
    ASSERT_TRUE(CopyFileA(Fixture64("marker.dll").c_str(), (dir.path() + name).c_str(), FALSE));
  char overrides[256] = {};
  const bool had = GetEnvironmentVariableA("WINEDLLOVERRIDES", overrides, sizeof overrides) != 0;
  SetEnvironmentVariableA("WINEDLLOVERRIDES", "dwmapi,wininet=n,b");
  for (const char* mode : {"restricted", "hook"}) {
    ChildProcess child("\"" + probe + "\" " + mode);
    // 10: a planted copy was loaded; 11: the control found none; 12: the
    // wininet of the start could not be unloaded to load it again.
    EXPECT_EQ(child.Wait(30000), 0u) << mode;
  }
  SetEnvironmentVariableA("WINEDLLOVERRIDES", had ? overrides : nullptr);
}

TEST(BuiltImagesTest, CompanionVersionResource) {
  EXPECT_EQ(GetFileVersionQuad(Modlist6().c_str()), MakeVersionQuad(1, 0, 1, 0));
  std::string company, original, product, productVersion;
  EXPECT_NE(ReadFileVersionInfo(Modlist6().c_str(), company, original, product, productVersion), 0u);
  EXPECT_EQ(original, "Modlist6.exe");
  EXPECT_EQ(product, "Report");
  EXPECT_EQ(productVersion, "1, 0, 0, 0");
  EXPECT_FALSE(company.empty());
}
}  // namespace
