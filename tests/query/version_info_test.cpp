// Version resources of real files built with windres, in both image kinds.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "query/version_info.h"
#include "tests/support/test_support.h"

namespace {
VersionQuad V(unsigned a, unsigned b, unsigned c, unsigned d) { return MakeVersionQuad(a, b, c, d); }

struct Texts {
  std::string company = "<company>", original = "<original>", product = "<product>", version = "<version>";
  DWORD Read(const std::string& path) { return ReadFileVersionInfo(path.c_str(), company, original, product, version); }
};

class VersionInfoTest : public ::testing::TestWithParam<bool> {
 protected:
  std::string Fixture(const std::string& name) { return GetParam() ? Fixture64(name) : Fixture32(name); }
};

TEST_P(VersionInfoTest, FixedVersionIsTheFileVersionNotTheProductVersion) {
  const std::string path = Fixture("qv_fixed.exe");
  ASSERT_NE(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES) << path;
  EXPECT_EQ(GetFileVersionQuad(path.c_str()), V(2, 5, 300, 7));
  EXPECT_EQ(GetProductVersionQuad(path.c_str()), V(3, 1, 4, 1));
  Texts t;
  EXPECT_EQ(t.Read(path), 0x04B00411u);
  EXPECT_EQ(t.company, "Contoso ソフト 100%s");
  EXPECT_EQ(t.original, "fixed.exe");
  EXPECT_EQ(t.product, "表示ビューア");
  EXPECT_EQ(t.version, "3.1.4.1");
}

TEST_P(VersionInfoTest, StringsOnlyUnderTheSecondTranslation) {
  const std::string path = Fixture("qv_second_translation.dll");
  Texts t;
  EXPECT_EQ(t.Read(path), 0x04E40409u);
  EXPECT_EQ(t.company, "<company>");
  EXPECT_EQ(t.original, "<original>");
  EXPECT_EQ(t.product, "<product>");
  EXPECT_EQ(t.version, "<version>");
  // The product version looks through every translation.
  EXPECT_EQ(GetProductVersionQuad(path.c_str()), V(4, 3, 2, 1));
  EXPECT_EQ(GetFileVersionQuad(path.c_str()), V(4, 0, 0, 0));
}

TEST_P(VersionInfoTest, CommaProductVersionGivesNoProductQuad) {
  const std::string path = Fixture("qv_comma.exe");
  EXPECT_EQ(GetProductVersionQuad(path.c_str()), 0u);
  EXPECT_EQ(GetFileVersionQuad(path.c_str()), V(1, 7, 27, 0));
  Texts t;
  t.Read(path);
  EXPECT_EQ(t.version, "1, 7, 0, 0");
  EXPECT_EQ(ParseVersionQuad(t.version.c_str(), 0, "0"), V(1, 7, 0, 0));
}

TEST_P(VersionInfoTest, NoVersionResourceLeavesEverything) {
  const std::string path = Fixture("qv_no_version.exe");
  ASSERT_NE(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES) << path;
  EXPECT_EQ(GetFileVersionQuad(path.c_str()), 0u);
  EXPECT_EQ(GetProductVersionQuad(path.c_str()), 0u);
  Texts t;
  EXPECT_EQ(t.Read(path), 0u);
  EXPECT_EQ(t.company + t.original + t.product + t.version, "<company><original><product><version>");
}

TEST_P(VersionInfoTest, FirstTranslationLackingProductNameKeepsIt) {
  const std::string path = Fixture("qv_no_product_name.dll");
  Texts t;
  EXPECT_EQ(t.Read(path), 0x04B00409u);
  EXPECT_EQ(t.company, "Partial Co.");
  EXPECT_EQ(t.original, "partial.dll");
  EXPECT_EQ(t.product, "<product>");
  EXPECT_EQ(t.version, "5.6");
  // "5.6" has two parts only: no product quad from it.
  EXPECT_EQ(GetProductVersionQuad(path.c_str()), 0u);
}

// The four texts as the two-call read at the reported size gives them, with
// the fixed version first: the reference for the one-call read.
std::string SizedRead(const std::string& path) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  std::vector<char> block(size + 1);
  if (size == 0 || !GetFileVersionInfoA(path.c_str(), 0, size + 1, block.data())) return "0";
  void* value = nullptr;
  UINT length = 0;
  VersionQuad quad = 0;
  if (VerQueryValueA(block.data(), "\\", &value, &length) && length >= sizeof(VS_FIXEDFILEINFO)) {
    const auto* info = static_cast<const VS_FIXEDFILEINFO*>(value);
    quad = (static_cast<VersionQuad>(info->dwFileVersionMS) << 32) | info->dwFileVersionLS;
  }
  std::string out = std::to_string(quad);
  if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &length) || length < 4) return out;
  const DWORD translation = *static_cast<const DWORD*>(value);
  for (const char* name : {"CompanyName", "OriginalFilename", "ProductName", "ProductVersion"}) {
    char sub[96];
    std::snprintf(sub, sizeof sub, "\\StringFileInfo\\%04x%04x\\%s", LOWORD(translation), HIWORD(translation), name);
    out += VerQueryValueA(block.data(), sub, &value, &length) && value != nullptr
               ? "|" + WithoutControls(std::string(static_cast<const char*>(value),
                                                   strnlen(static_cast<const char*>(value), length)))
               : "|<missing>";
  }
  return out;
}

// Small and large blocks (the largest beyond the first read's buffer), blocks
// without translations or texts, and a file without any.
TEST_P(VersionInfoTest, OneReadGivesWhatTheSizedReadGives) {
  for (const char* name : {"qv_fixed.exe", "qv_second_translation.dll", "qv_comma.exe", "qv_no_version.exe",
                           "qv_no_product_name.dll", "odd_huge.dll", "odd_lines.dll", "odd_empty.dll",
                           "odd_notrans.dll"}) {
    const std::string path = Fixture(name);
    ASSERT_NE(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES) << path;
    VersionQuad quad = 1;
    std::string texts[4] = {"<missing>", "<missing>", "<missing>", "<missing>"};
    const DWORD translation = ReadFileVersionQuadAndInfo(path.c_str(), quad, texts[0], texts[1], texts[2], texts[3]);
    std::string got = std::to_string(quad);
    if (translation != 0) got += "|" + texts[0] + "|" + texts[1] + "|" + texts[2] + "|" + texts[3];
    EXPECT_EQ(got, SizedRead(path)) << path;
    EXPECT_EQ(quad, GetFileVersionQuad(path.c_str())) << path;
  }
}

INSTANTIATE_TEST_SUITE_P(Images, VersionInfoTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "x64" : "x86"; });

TEST(VersionInfoFailureTest, MissingOrEmptyPathsGiveNothing) {
  EXPECT_EQ(GetFileVersionQuad(nullptr), 0u);
  EXPECT_EQ(GetFileVersionQuad(""), 0u);
  EXPECT_EQ(GetProductVersionQuad(nullptr), 0u);
  EXPECT_EQ(GetFileVersionQuad("C:\\no\\such\\file.dll"), 0u);
  Texts t;
  EXPECT_EQ(t.Read(""), 0u);
  EXPECT_EQ(t.Read("C:\\no\\such\\file.dll"), 0u);
  EXPECT_EQ(t.company, "<company>");
  EXPECT_EQ(GetModuleVersionQuad(nullptr), 0u);
}

TEST(VersionInfoFailureTest, TruncatedAndGarbageFilesGiveNothing) {
  ScratchDir dir("query_version");
  const std::string whole = ReadWholeFile(FixtureOwn("qv_fixed.exe"));
  ASSERT_GT(whole.size(), 1024u);
  const std::string cut = dir.Write("cut.exe", whole.substr(0, 1024));  // headers only
  const std::string junk = dir.Write("junk.dll", std::string(4096, '\x5C'));
  for (const std::string& path : {cut, junk}) {
    EXPECT_EQ(GetFileVersionQuad(path.c_str()), 0u) << path;
    Texts t;
    t.Read(path);
    EXPECT_EQ(t.company, "<company>");
  }
}

TEST(ModuleVersionTest, LoadedModuleGivesItsFileVersion) {
  const std::string path = FixtureOwn("qv_fixed.exe");
  HMODULE module = LoadLibraryExA(path.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(GetModuleVersionQuad(module), V(2, 5, 300, 7));
  FreeLibrary(module);
  // kernel32 is loaded in every process and carries a version.
  EXPECT_GE(VersionMajor(GetModuleVersionQuad(GetModuleHandleA("kernel32.dll"))), 5u);
}
}  // namespace
