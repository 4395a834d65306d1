// The shared platform utilities against real files and registry keys.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "query/code_page.h"
#include "base/cp932_rules.h"
#include "query/platform.h"
#include "query/system_library.h"
#include "tests/support/test_support.h"
#include "query/version_info.h"

namespace {
const char kKey[] = "Software\\ReportTests\\query_platform";

// ---- Code page -----------------------------------------------------------

// The text rules take the lead bytes the system itself reports.
TEST(CodePageTest, LeadBytesAreTheSystems) {
  SetLeadByteRanges(nullptr, 0);  // start from none, so the system's must arrive
  UseSystemLeadBytes();
  int leads = 0;
  for (int c = 1; c < 256; ++c) {
    const bool lead = IsDBCSLeadByte(static_cast<BYTE>(c)) != FALSE;
    EXPECT_EQ(IsLeadByte(static_cast<unsigned char>(c)), lead) << c;
    leads += lead;
  }
  std::printf("ANSI code page %u: %d lead bytes\n", GetACP(), leads);
  UseCp932LeadBytes();
}

// ---- Image bitness ------------------------------------------------------

DWORD PeOffset(const std::string& image) {
  DWORD offset = 0;
  std::memcpy(&offset, image.data() + 60, 4);
  return offset;
}

bool Pe64OfBytes(ScratchDir& dir, const std::string& name, const std::string& bytes) {
  const std::string path = dir.Write(name, bytes);
  UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  EXPECT_TRUE(file.valid()) << path;
  return IsPE64File(file.get());
}

TEST(ImageBitnessTest, RealImagesOfBothKinds) {
  EXPECT_TRUE(IsFile64Bit(Fixture64("qv_fixed.exe").c_str()));
  EXPECT_FALSE(IsFile64Bit(Fixture32("qv_fixed.exe").c_str()));
  EXPECT_TRUE(IsFile64Bit(Fixture64("qv_second_translation.dll").c_str()));
  EXPECT_FALSE(IsFile64Bit(Fixture32("qv_second_translation.dll").c_str()));
  EXPECT_TRUE(IsFile64Bit((Bin64() + "Modlist6.exe").c_str()));
}

TEST(ImageBitnessTest, DamagedAndForeignHeaders) {
  ScratchDir dir("query_pe");
  const std::string image = ReadWholeFile(Fixture64("qv_fixed.exe"));
  ASSERT_GT(image.size(), 512u);
  const DWORD pe = PeOffset(image);
  ASSERT_GT(pe, 63u);
  ASSERT_EQ(image.compare(pe, 4, std::string("PE\0\0", 4)), 0);

  // Cut short: the result depends only on the bytes that arrived.
  EXPECT_TRUE(Pe64OfBytes(dir, "cut_after_machine.exe", image.substr(0, pe + 6)));
  EXPECT_FALSE(Pe64OfBytes(dir, "cut_after_signature.exe", image.substr(0, pe + 4)));
  EXPECT_FALSE(Pe64OfBytes(dir, "cut_in_dos_header.exe", image.substr(0, 50)));
  EXPECT_FALSE(Pe64OfBytes(dir, "empty.exe", ""));

  std::string arm64 = image;
  arm64[pe + 4] = '\x64';
  arm64[pe + 5] = '\xAA';
  EXPECT_FALSE(Pe64OfBytes(dir, "arm64.exe", arm64));

  std::string noMz = image;
  noMz[0] = 'Z';
  EXPECT_FALSE(Pe64OfBytes(dir, "no_mz.exe", noMz));

  std::string zeroOffset = image, negativeOffset = image, farOffset = image;
  std::memset(&zeroOffset[60], 0, 4);
  std::memset(&negativeOffset[60], 0xFF, 4);
  const DWORD farAway = 0x7FFFFFF0;
  std::memcpy(&farOffset[60], &farAway, 4);
  EXPECT_FALSE(Pe64OfBytes(dir, "zero_offset.exe", zeroOffset));
  EXPECT_FALSE(Pe64OfBytes(dir, "negative_offset.exe", negativeOffset));
  EXPECT_FALSE(Pe64OfBytes(dir, "far_offset.exe", farOffset));
}

TEST(ImageBitnessTest, UnopenablePathIsLoggedAsAnArgument) {
  LogCapture log;
  const std::string path = "C:\\no such\\表%s%n\\" + std::string(300, 'x') + ".exe";
  EXPECT_FALSE(IsFile64Bit(path.c_str()));
  EXPECT_EQ(log.Detail(), "パスを開けない " + path.substr(0, 199) + " \n");
  EXPECT_EQ(log.Support(), "");
  // A server path naming a pipe that never answers is not read.
  const std::string pipeName = "\\\\.\\pipe\\ReportBitnessTest" + std::to_string(GetCurrentProcessId());
  HANDLE pipe = CreateNamedPipeA(pipeName.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 4, 512, 512, 0, nullptr);
  ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(IsFile64Bit(pipeName.c_str()));
  EXPECT_EQ(GetFileVersionQuad(pipeName.c_str()), 0u);  // the version functions would read it for ever
  EXPECT_NE(log.Detail().find("パスを開けない " + pipeName + " \n"), std::string::npos);
  CloseHandle(pipe);
}

// ---- Registry -------------------------------------------------------------

class RegistryTest : public ::testing::Test {
 protected:
  RegistryTest() : key_(HKEY_CURRENT_USER, kKey) {
    key_.SetString("", "sz", "表示\\ソフト value");
    key_.SetString("", "expand", "%TEMP%\\x", REG_EXPAND_SZ);
    key_.SetDword("", "dword", 0x12345678);
    key_.SetString("", "long", std::string(300, 'L'));
    key_.SetBinary("", "unterminated", "abc", 3, REG_SZ);
    key_.SetBinary("", "empty", "", 0, REG_SZ);
    const unsigned long long qword = 0x1122334455667788ull;
    key_.SetBinary("", "qword", &qword, sizeof qword, REG_QWORD);
    key_.SetWideString("wide", L"name", L"表示 wide");
    key_.SetWideString("wide", L"long", std::wstring(100, L'W'));
    key_.SetBinary("wide", "expand", L"%TEMP%", 14, REG_EXPAND_SZ);
    SetRawWide(L"unterminated", L"xyz", 6);
    key_.SetDword("wide", "dword", 1);
  }
  // Wide bytes stored as they are, without the terminator RegSetValueExA adds.
  void SetRawWide(const wchar_t* name, const wchar_t* data, DWORD bytes) {
    HKEY raw = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, (std::string(kKey) + "\\wide").c_str(), 0, KEY_SET_VALUE, &raw), 0);
    RegSetValueExW(raw, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data), bytes);
    RegCloseKey(raw);
  }
  HKEY Open(const std::string& sub = "") {
    HKEY raw = nullptr;
    RegOpenKeyExA(HKEY_CURRENT_USER, sub.empty() ? kKey : (std::string(kKey) + "\\" + sub).c_str(), 0, KEY_READ,
                  &raw);
    opened_.push_back(UniqueRegKey(raw));
    return raw;
  }
  ScratchKey key_;
  std::vector<UniqueRegKey> opened_;
};

TEST_F(RegistryTest, WideReadTakesOnlyFittingRegSz) {
  const std::wstring sub = L"Software\\ReportTests\\query_platform\\wide";
  wchar_t buffer[64];
  EXPECT_EQ(RegQueryStringW(HKEY_CURRENT_USER, sub.c_str(), L"name", buffer, sizeof buffer, 0), buffer);
  EXPECT_STREQ(buffer, L"表示 wide");
  // Longer than the buffer, another type or missing: none and an empty buffer.
  for (const wchar_t* name : {L"long", L"expand", L"dword", L"missing"}) {
    wmemset(buffer, L'Z', 64);
    EXPECT_EQ(RegQueryStringW(HKEY_CURRENT_USER, sub.c_str(), name, buffer, sizeof buffer, 0), nullptr) << name;
    EXPECT_EQ(buffer[0], L'\0') << name;
  }
  // A stored value without terminator still comes back ended.
  wmemset(buffer, L'Z', 64);
  EXPECT_EQ(RegQueryStringW(HKEY_CURRENT_USER, sub.c_str(), L"unterminated", buffer, sizeof buffer, 0), buffer);
  EXPECT_STREQ(buffer, L"xyz");
  // A missing key leaves the buffer untouched.
  wmemset(buffer, L'Z', 64);
  EXPECT_EQ(RegQueryStringW(HKEY_CURRENT_USER, L"Software\\ReportTests\\no_such", L"x", buffer, sizeof buffer, 0),
            nullptr);
  EXPECT_EQ(buffer[0], L'Z');
}

TEST(RegistryViewTest, SixtyFourBitFlagSelectsTheView) {
  ScratchKey only64(HKEY_LOCAL_MACHINE, "Software\\ReportTestsQueryView", KEY_WOW64_64KEY);
  only64.SetWideString("", L"where", L"64");
  ScratchKey only32(HKEY_LOCAL_MACHINE, "Software\\ReportTestsQueryView32", KEY_WOW64_32KEY);
  only32.SetWideString("", L"where", L"32");
  wchar_t buffer[16];
  EXPECT_NE(RegQueryStringW(HKEY_LOCAL_MACHINE, L"Software\\ReportTestsQueryView", L"where", buffer, sizeof buffer, 1),
            nullptr);
  EXPECT_STREQ(buffer, L"64");
  EXPECT_EQ(RegQueryStringW(HKEY_LOCAL_MACHINE, L"Software\\ReportTestsQueryView32", L"where", buffer, sizeof buffer, 1),
            nullptr);
}

TEST_F(RegistryTest, DwordReadsFallBackToTheDefault) {
  HKEY key = Open();
  EXPECT_EQ(RegQueryDword(key, "dword", 7), 0x12345678u);
  EXPECT_EQ(RegQueryDword(key, "missing", 7), 7u);
  EXPECT_EQ(RegQueryDword(key, "qword", 7), 7u);
  EXPECT_EQ(RegQueryDword(nullptr, "dword", 9), 9u);
  // Any 4-byte value but a text is a number (tools write REG_BINARY ones);
  // texts and values of another size are not, even when they fit.
  key_.SetBinary("", "binary", "\x00\x20\x01\x00", 4, REG_BINARY);
  EXPECT_EQ(RegQueryDword(key, "binary", 7), 0x12000u);
  key_.SetString("", "digit", "2");
  key_.SetString("", "digits", "123");
  key_.SetBinary("", "short", "\x01\x00", 2, REG_DWORD);
  key_.SetBinary("", "nothing", "", 0, REG_DWORD);
  // Four bytes of another type are no number; big-endian ones run the other way.
  key_.SetBinary("", "big", "\x00\x00\x00\x05", 4, REG_DWORD_BIG_ENDIAN);
  key_.SetBinary("", "none", "\x05\x00\x00\x00", 4, REG_NONE);
  for (const char* name : {"digit", "digits", "short", "nothing", "unterminated", "big", "none"}) {
    EXPECT_EQ(RegQueryDword(key, name, 0xFFFFFFFF), 0xFFFFFFFFu) << name;
  }

  HKEY wide = Open("wide");
  // The first key wins unless it holds the default; then the second is read.
  EXPECT_EQ(RegQueryDwordFromKeys(key, wide, "dword", 0), 0x12345678u);
  EXPECT_EQ(RegQueryDwordFromKeys(wide, key, "dword", 1), 0x12345678u);
  EXPECT_EQ(RegQueryDwordFromKeys(key, wide, "missing", 5), 5u);
  EXPECT_EQ(RegQueryDwordFromKeys(nullptr, wide, "dword", 5), 1u);
  EXPECT_EQ(RegQueryDwordFromKeys(key, nullptr, "missing", 5), 5u);
  EXPECT_EQ(RegQueryDwordFromKeys(nullptr, nullptr, "dword", 5), 5u);
}

TEST_F(RegistryTest, NarrowReadsTakeOnlyRegSzThatFits) {
  HKEY key = Open();
  std::string text = "kept";
  EXPECT_EQ(RegQueryString(key, "sz", text), "表示\\ソフト value");
  EXPECT_EQ(RegQueryString(key, "unterminated", text), "abc");
  for (const char* name : {"expand", "dword", "long", "missing"}) {
    text = "kept";
    EXPECT_EQ(RegQueryString(key, name, text), "kept") << name;
  }
  text = "kept";
  EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, kKey, "sz", text), "表示\\ソフト value");
  text = "kept";
  EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, "Software\\ReportTests\\no_such", "sz", text), "kept");
  EXPECT_EQ(RegReadString(HKEY_CURRENT_USER, kKey, "missing", text), "kept");

  EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, kKey));
  EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, nullptr));
  EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, "Software\\ReportTests\\no_such"));
}

TEST_F(RegistryTest, RegKeyOpenKeepsTheHeldKeyOnFailure) {
  RegKey key;
  EXPECT_EQ(key.Close(), ERROR_SUCCESS);
  ASSERT_EQ(key.Open(HKEY_CURRENT_USER, kKey, KEY_READ), ERROR_SUCCESS);
  const HKEY first = key.get();
  EXPECT_EQ(key.Open(HKEY_CURRENT_USER, "Software\\ReportTests\\no_such", KEY_READ), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key.get(), first);
  EXPECT_EQ(RegQueryDword(key, "dword", 0), 0x12345678u);
  ASSERT_EQ(key.Open(HKEY_CURRENT_USER, (std::string(kKey) + "\\wide").c_str(), KEY_READ), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryDword(key, "dword", 0), 1u);
  EXPECT_EQ(key.Close(), ERROR_SUCCESS);
  EXPECT_EQ(key.get(), nullptr);
  EXPECT_EQ(key.Close(), ERROR_SUCCESS);
}

TEST_F(RegistryTest, RegKeyQueryStringValueCases) {
  RegKey key;
  ASSERT_EQ(key.Open(HKEY_CURRENT_USER, kKey, KEY_READ), ERROR_SUCCESS);
  char buffer[64];
  ULONG count = sizeof buffer;
  EXPECT_EQ(key.QueryStringValue("sz", buffer, &count), ERROR_SUCCESS);
  EXPECT_STREQ(buffer, "表示\\ソフト value");
  EXPECT_EQ(count, std::strlen("表示\\ソフト value") + 1);

  count = sizeof buffer;
  EXPECT_EQ(key.QueryStringValue("expand", buffer, &count), ERROR_SUCCESS);
  EXPECT_STREQ(buffer, "%TEMP%\\x");  // not expanded

  count = 0;
  EXPECT_EQ(key.QueryStringValue("sz", nullptr, &count), ERROR_SUCCESS);
  EXPECT_EQ(count, std::strlen("表示\\ソフト value") + 1);

  std::memset(buffer, 'Z', sizeof buffer);
  count = sizeof buffer;
  EXPECT_EQ(key.QueryStringValue("empty", buffer, &count), ERROR_SUCCESS);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(count, 0u);

  count = sizeof buffer;
  EXPECT_EQ(key.QueryStringValue("dword", buffer, &count), ERROR_INVALID_DATA);
  EXPECT_EQ(count, 0u);
  count = 4;
  EXPECT_EQ(key.QueryStringValue("long", buffer, &count), ERROR_MORE_DATA);
  EXPECT_EQ(count, 0u);
  count = sizeof buffer;
  EXPECT_EQ(key.QueryStringValue("missing", buffer, &count), ERROR_FILE_NOT_FOUND);
  // An empty value into no room at all is refused, not written past the buffer.
  count = 0;
  char guard[2] = {'G', 'G'};
  EXPECT_NE(key.QueryStringValue("empty", guard, &count), ERROR_SUCCESS);
  EXPECT_EQ(guard[0], 'G');
}

// ---- Libraries, buffers, file times ------------------------------------

TEST(DynamicLibraryTest, BareNamesComeFromTheSystemFolderOnly) {
  // Beside the program, where a plain LoadLibraryA finds it.
  char path[MAX_PATH] = {}, system[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  const std::string planted = std::string(path, std::strrchr(path, '\\') + 1) + "report_tests_planted.dll";
  ASSERT_TRUE(CopyFileA(FixtureOwn("qv_second_translation.dll").c_str(), planted.c_str(), FALSE));
  EXPECT_TRUE(FreeLibrary(LoadLibraryA("report_tests_planted.dll")));
  EXPECT_EQ(DynamicLibrary().Load("report_tests_planted.dll"), nullptr);
  EXPECT_EQ(LoadSystemLibrary(planted.c_str()), nullptr);  // a path is no bare name
  DeleteFileA(planted.c_str());
  // Under WOW64 the system folder is the 32-bit one, which
  // GetSystemDirectory does not name there.
  HMODULE psapi = LoadSystemLibrary("psapi.dll");
  GetModuleFileNameA(psapi, path, MAX_PATH);
  BOOL wow64 = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow64);
  const UINT length = wow64 ? GetSystemWow64DirectoryA(system, MAX_PATH) : GetSystemDirectoryA(system, MAX_PATH);
  EXPECT_EQ(_strnicmp(path, system, length), 0) << path;
  FreeLibrary(psapi);
}

TEST(DynamicLibraryTest, LoadsOnceAndReleases) {
  const std::string path = FixtureOwn("qv_second_translation.dll");
  {
    DynamicLibrary missing;
    EXPECT_EQ(missing.Load("report_tests_no_such.dll"), nullptr);
    EXPECT_EQ(missing.get(), nullptr);
    // A relative path would be searched for: refused, although the file is there.
    char current[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, current);
    SetCurrentDirectoryA(path.substr(0, path.rfind('\\')).c_str());
    EXPECT_EQ(missing.Load(".\\qv_second_translation.dll"), nullptr);
    SetCurrentDirectoryA(current);
    // A failed load holds nothing, so the next call tries again.
    EXPECT_NE(missing.Load(path.c_str()), nullptr);
  }
  EXPECT_EQ(GetModuleHandleA(path.c_str()), nullptr);
  DynamicLibrary library;
  const HMODULE module = library.Load(path.c_str());
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(GetModuleHandleA(path.c_str()), module);
  EXPECT_EQ(library.Load("kernel32.dll"), module);  // the held handle is returned
  library.Release();
  EXPECT_EQ(library.get(), nullptr);
  EXPECT_EQ(GetModuleHandleA(path.c_str()), nullptr);
  library.Release();

  DynamicLibrary kernel;
  kernel.Load("kernel32.dll");
  typedef DWORD(WINAPI * TickFn)();
  EXPECT_NE(kernel.Proc<TickFn>("GetTickCount"), nullptr);
  EXPECT_EQ(kernel.Proc<TickFn>("NoSuchFunction"), nullptr);
  EXPECT_EQ(DynamicLibrary().Proc<TickFn>("GetTickCount"), nullptr);
}

TEST(ByteBufferTest, AllocateReusesAndZeroesTheLargerBlock) {
  ByteBuffer b;
  unsigned char* block = b.Allocate(16);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(b.size(), 16u);
  std::memset(block, 'x', 16);
  EXPECT_EQ(b.Allocate(8), block);
  EXPECT_EQ(b.size(), 16u);
  for (int i = 0; i < 16; ++i) ASSERT_EQ(block[i], 0) << i;
  EXPECT_NE(b.Allocate(4096), nullptr);
  EXPECT_EQ(b.size(), 4096u);
}

TEST(ByteBufferTest, GrowKeepsContentAndZeroesTheRest) {
  ByteBuffer b;
  b.Assign("abcd", 4);
  EXPECT_EQ(b.Length(), 4u);  // no terminator inside the block: bounded by its size
  unsigned char* grown = b.Grow(10);
  ASSERT_NE(grown, nullptr);
  EXPECT_EQ(b.size(), 10u);
  EXPECT_EQ(std::memcmp(grown, "abcd\0\0\0\0\0\0", 10), 0);
  EXPECT_EQ(b.Grow(5), grown);
  EXPECT_EQ(b.size(), 10u);
  ByteBuffer empty;
  EXPECT_NE(empty.Grow(3), nullptr);
  EXPECT_EQ(empty.size(), 3u);
}

TEST(ByteBufferTest, TextAssignmentAndCharacterAccess) {
  ByteBuffer b;
  EXPECT_NE(b.AssignText("表示"), nullptr);
  EXPECT_EQ(b.size(), 5u);
  EXPECT_EQ(b.Length(), 4u);
  EXPECT_EQ(b.CharAt(1), '\\');
  EXPECT_EQ(b.CharAt(4), '\0');
  EXPECT_EQ(b.CharAt(1000), '\0');
  EXPECT_EQ(b.AssignText(nullptr), nullptr);
  EXPECT_EQ(b.data(), nullptr);
  EXPECT_EQ(b.Length(), 0u);
  EXPECT_EQ(b.CharAt(0), '\0');

  const char raw[] = {'a', 'b', 'c', 'd'};
  ASSERT_NE(b.AssignBytes(raw, 3), nullptr);
  EXPECT_STREQ(b.text(), "abc");
  EXPECT_EQ(b.size(), 4u);
  ASSERT_NE(b.AssignBytes(raw, 0), nullptr);
  EXPECT_STREQ(b.text(), "");
  EXPECT_EQ(b.AssignBytes(nullptr, 3), nullptr);
  EXPECT_EQ(b.size(), 0u);
  b.Free();
  b.Free();
  EXPECT_EQ(b.data(), nullptr);
}

void SetWriteTime(const std::string& path, WORD year, WORD month, WORD day) {
  SYSTEMTIME local = {};
  local.wYear = year;
  local.wMonth = month;
  local.wDay = day;
  local.wHour = 12;
  FILETIME localTime, utc;
  ASSERT_TRUE(SystemTimeToFileTime(&local, &localTime));
  ASSERT_TRUE(LocalFileTimeToFileTime(&localTime, &utc));
  UniqueHandle file(CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(file.valid());
  ASSERT_TRUE(SetFileTime(file.get(), nullptr, nullptr, &utc));
}

TEST(FilesTimeTest, FirstPlainFileGivesItsLocalDate) {
  ScratchDir dir("query_time_%s");
  dir.MakeDir("folder.dat");
  const std::string file = dir.Write("pattern.dat", "x");
  SetWriteTime(file, 2023, 4, 5);
  LogCapture log;
  std::string text = "unchanged";
  const std::string pattern = dir.path() + "pattern.dat";
  EXPECT_EQ(GetFilesTimeString(pattern.c_str(), text), "2023/04/05");
  EXPECT_EQ(log.Detail(), "GetFilesTimeString " + pattern + " \nGetFilesTimeString start\npattern.dat\n"
                          "ディレクトリではない\nGetFilesTimeString end\n");
  EXPECT_EQ(log.Support(), "");
}

TEST(FilesTimeTest, OnlyFoldersOrNothingLeaveTheText) {
  ScratchDir dir("query_time_dirs");
  dir.MakeDir("a.dat");
  dir.MakeDir("b.dat");
  std::string text = "unchanged";
  {
    LogCapture log;
    const std::string pattern = dir.path() + "*.dat";
    EXPECT_EQ(GetFilesTimeString(pattern.c_str(), text), "unchanged");
    const std::string detail = log.Detail();
    EXPECT_EQ(detail.find("GetFilesTimeString " + pattern + " \nGetFilesTimeString start\n"), 0u) << detail;
    EXPECT_NE(detail.find("a.dat\n"), std::string::npos);
    EXPECT_NE(detail.find("b.dat\n"), std::string::npos);
    EXPECT_EQ(detail.find("ディレクトリではない"), std::string::npos);
    EXPECT_EQ(detail.substr(detail.size() - 23), "GetFilesTimeString end\n");
  }
  {
    LogCapture log;
    const std::string pattern = dir.path() + "*.none";
    EXPECT_EQ(GetFilesTimeString(pattern.c_str(), text), "unchanged");
    EXPECT_EQ(log.Detail(), "GetFilesTimeString " + pattern + " \n");
  }
}

TEST(OsInfoTest, StartUpFillMatchesTheProcess) {
  BOOL wow = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow);
  EXPECT_EQ(IsWow64(), wow != FALSE);
  EXPECT_EQ(OsInfo.isWow64, wow != FALSE);
  EXPECT_FALSE(OsInfo.isWin9x);
  EXPECT_EQ(ProgramFolder(), BinOwn());
}
}  // namespace
