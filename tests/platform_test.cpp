// The platform seam, on the real system: Windows under Wine, POSIX natively.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdint>
#include <filesystem>

#include "platform/platform.h"
#include "support/registry_sandbox.h"
#include "support/temp_tree.h"

namespace {

std::vector<std::wstring> Names(const std::wstring& pattern) {
  std::vector<platform::FindEntry> entries;
  platform::FindFiles(pattern, &entries);
  std::vector<std::wstring> names;
  for (const auto& entry : entries) {
    if (entry.name != L"." && entry.name != L"..") names.push_back(entry.name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

using Names_ = std::vector<std::wstring>;

}  // namespace

TEST(FileSearch, WindowsWildcards) {
  TempTree tree;
  for (const char* name : {"a.txt", "B.TXT", "c.txt.bak", "d.dat", "ab"}) tree.Write(name, "x");
  tree.MakeDir("dir.txt");
  EXPECT_EQ(Names(tree.Path() + L"\\*.txt"), (Names_{L"B.TXT", L"a.txt", L"dir.txt"}));
  EXPECT_EQ(Names(tree.Path() + L"\\?b"), (Names_{L"ab"}));
  EXPECT_EQ(Names(tree.Path() + L"\\*.*").size(), 6u);
  EXPECT_EQ(Names(tree.Path() + L"\\*").size(), 6u);
  std::vector<platform::FindEntry> entries;
  EXPECT_FALSE(platform::FindFiles(tree.Path() + L"\\*.none", &entries));
  EXPECT_FALSE(platform::FindFiles(tree.Path() + L"\\missing\\*", &entries));
  ASSERT_TRUE(platform::FindFiles(tree.Path() + L"\\dir.txt", &entries));
  EXPECT_TRUE(entries[0].is_directory);
}

TEST(FileSearch, PathComponentsIgnoreLetterCase) {
  TempTree tree;
  tree.Write("AppData/Roaming/Mozilla/Firefox/profiles.ini", "x");
  EXPECT_TRUE(platform::FileExists(tree.Path() + L"\\appdata\\ROAMING\\mozilla\\firefox\\Profiles.INI"));
  EXPECT_TRUE(platform::DirectoryExists(tree.Path() + L"\\APPDATA\\roaming"));
  EXPECT_FALSE(platform::FileExists(tree.Path() + L"\\appdata\\roaming"));
  EXPECT_EQ(Names(tree.Path() + L"\\appdata\\roaming\\MOZILLA\\*"), (Names_{L"Firefox"}));
}

TEST(FileSearch, ResultsAreSortedWithoutRegardToCase) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows returns the file system's order";
#else
  TempTree tree;
  for (const char* name : {"b", "A", "c", "B2"}) tree.Write(name, "x");
  std::vector<platform::FindEntry> entries;
  ASSERT_TRUE(platform::FindFiles(tree.Path() + L"\\*", &entries));
  std::vector<std::wstring> names;
  for (const auto& e : entries) names.push_back(e.name);
  EXPECT_EQ(names, (Names_{L".", L"..", L"A", L"b", L"B2", L"c"}));
#endif
}

TEST(FileDeletion, ShellDeleteRemovesFilesAndWholeTrees) {
  TempTree tree;
  tree.Write("site/a/b.sol", "x");
  tree.Write("site/c.sol", "y");
  tree.Write("file.db", "z");
  EXPECT_EQ(platform::ShellDelete(tree.Path("site")), 0);
  EXPECT_FALSE(tree.Exists("site"));
  EXPECT_EQ(platform::ShellDelete(tree.Path("file.db")), 0);
  EXPECT_FALSE(tree.Exists("file.db"));
  EXPECT_NE(platform::ShellDelete(tree.Path("missing")), 0);
}

TEST(FileDeletion, RemoveFileAndReplace) {
  TempTree tree;
  tree.Write("a", "old");
  tree.Write("b", "new");
  EXPECT_TRUE(platform::MoveReplace(tree.Path("b"), tree.Path("a")));
  EXPECT_EQ(tree.Read("a"), "new");
  EXPECT_FALSE(tree.Exists("b"));
  EXPECT_TRUE(platform::RemoveFile(tree.Path("a")));
  EXPECT_FALSE(platform::RemoveFile(tree.Path("a")));
}

TEST(Files, LinkCountCountsEveryNameOfAFile) {
  TempTree tree;
  tree.Write("alone", "a");
  tree.Write("shared", "s");
  std::filesystem::create_hard_link(tree.Native("shared"), tree.Native("second name"));
  std::filesystem::create_hard_link(tree.Native("shared"), tree.Native("third name"));
  const struct {
    const char* name;
    uint32_t links;
  } cases[] = {{"missing", 0}, {"alone", 1}, {"shared", 3}, {"third name", 3}};
  for (const auto& c : cases) {
    EXPECT_EQ(platform::LinkCount(tree.Path(c.name)), c.links) << c.name;
  }
  std::filesystem::remove(tree.Native("second name"));
  EXPECT_EQ(platform::LinkCount(tree.Path("shared")), 2u);
}

TEST(Files, ReadWholeFileAndWriteFile) {
  TempTree tree;
  {
    platform::File file = platform::File::CreateNew(tree.Path("f"));
    ASSERT_TRUE(file.is_open());
    EXPECT_TRUE(file.Write("abc\0def", 7));
    EXPECT_TRUE(file.Flush());
    platform::File moved = std::move(file);
    EXPECT_FALSE(file.is_open());
    EXPECT_TRUE(moved.is_open());
  }
  std::string data;
  ASSERT_TRUE(platform::ReadWholeFile(tree.Path("f"), &data, 1 << 20));
  EXPECT_EQ(data, std::string("abc\0def", 7));
  EXPECT_FALSE(platform::ReadWholeFile(tree.Path("missing"), &data, 1 << 20));
}

TEST(Files, WholeFilesLargerThanTheirLimitAndNewFilesThatExistAreRefused) {
  TempTree tree;
  tree.Write("f", "abcd");
  std::string data = "old";
  EXPECT_FALSE(platform::ReadWholeFile(tree.Path("f"), &data, 3));
  EXPECT_EQ(data, "");
  EXPECT_TRUE(platform::ReadWholeFile(tree.Path("f"), &data, 4));
  EXPECT_FALSE(platform::File::CreateNew(tree.Path("f")).is_open());
  tree.MakeDir("d");
  EXPECT_FALSE(platform::File::CreateNew(tree.Path("d")).is_open());
  EXPECT_FALSE(platform::File::OpenForRead(tree.Path("d"), platform::File::Share::kDenyNone).is_open());
  EXPECT_TRUE(platform::File::CreateNew(tree.Path("g")).is_open());
  EXPECT_EQ(tree.Read("f"), "abcd");
}

TEST(Files, ReadAllTakesTheRestIntoAReusedBuffer) {
  TempTree tree;
  const struct {
    std::string bytes;
    size_t already_read, limit;
    bool read;
  } cases[] = {{"", 0, 10, true},         {"abc", 0, 10, true},   {"abcdef", 2, 4, true},
               {"abcde", 0, 4, false},    {"z", 0, SIZE_MAX, true},
               {std::string(200000, 'x'), 0, size_t{1} << 20, true}};
  std::string buffer;
  for (const auto& c : cases) {
    tree.Write("f", c.bytes);
    platform::File file = platform::File::OpenForRead(tree.Path("f"), platform::File::Share::kDenyWrite);
    char skipped[8];
    size_t got = 0;
    ASSERT_TRUE(file.Read(skipped, c.already_read, &got));
    const size_t capacity = buffer.capacity();
    buffer = "stale";
    EXPECT_EQ(file.ReadAll(&buffer, c.limit), c.read) << c.bytes.size();
    EXPECT_EQ(buffer, c.read ? c.bytes.substr(c.already_read) : "") << c.bytes.size();
    EXPECT_GE(buffer.capacity(), capacity) << c.bytes.size();
  }
}

TEST(Console, StandardErrorIsATerminalOnlyWhenItIsOne) {
  TempTree tree;
  tree.Write("err.txt", "");
#ifdef _WIN32
  const HANDLE saved = GetStdHandle(STD_ERROR_HANDLE), file = CreateFileW(
      tree.Path("err.txt").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  SetStdHandle(STD_ERROR_HANDLE, file);
  EXPECT_FALSE(platform::StandardErrorIsTerminal());
  SetStdHandle(STD_ERROR_HANDLE, saved);
  CloseHandle(file);
#else
  int pipe_ends[2];
  const int terminal = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_TRUE(pipe(pipe_ends) == 0 && terminal >= 0 && grantpt(terminal) == 0 && unlockpt(terminal) == 0);
  const std::pair<int, bool> cases[] = {{open(tree.Native("err.txt").c_str(), O_WRONLY), false},
                                        {pipe_ends[1], false},
                                        {open(ptsname(terminal), O_RDWR | O_NOCTTY), true}};
  const int saved = dup(STDERR_FILENO);
  for (const auto& [fd, is_terminal] : cases) {
    dup2(fd, STDERR_FILENO);
    const bool seen = platform::StandardErrorIsTerminal();
    dup2(saved, STDERR_FILENO);
    EXPECT_EQ(seen, is_terminal) << fd;
    close(fd);
  }
  for (const int fd : {saved, pipe_ends[0], terminal}) close(fd);
#endif
}

TEST(Names, OnlyNamesWindowsCouldHoldPass) {
  for (const wchar_t* name : {L"www.tracker.com", L"caf\u00e9 .txt", L".hidden"}) {
    EXPECT_TRUE(platform::IsWindowsName(name)) << name;
  }
  for (const wchar_t* name : {L"", L".", L"..", L"a\\b", L"a/b", L"c:x", L"a*b", L"a?b", L"a\"b", L"a<b", L"a>b",
                              L"a|b", L"a\tb", L"a\x1f", L"name.", L"name "}) {
    EXPECT_FALSE(platform::IsWindowsName(name)) << name;
  }
}

TEST(Names, PathsOfNamesRelativeOrAbsoluteAsAsked) {
  for (const wchar_t* path : {L"Profiles/abc.default", L"Profiles\\\\abc"}) {
    EXPECT_TRUE(platform::IsWindowsPath(path, true)) << path;
  }
  for (const wchar_t* path :
       {L"../outside", L"Profiles/../../x", L"/abs/profile", L"C:\\x", L"", L"Profiles/a*"}) {
    EXPECT_FALSE(platform::IsWindowsPath(path, true)) << path;
  }
  EXPECT_TRUE(platform::IsWindowsPath(L"C:\\Users\\x", false));
  EXPECT_TRUE(platform::IsWindowsPath(L"/tmp/profile", false));
  EXPECT_FALSE(platform::IsWindowsPath(L"Profiles/abc", false));
  EXPECT_FALSE(platform::IsWindowsPath(L"C:\\Users\\..\\x", false));
}

TEST(Files, DenyWriteOpenFailsWhileAnotherHandleWrites) {
#ifdef _WIN32
  TempTree tree;
  tree.Write("f", "x");
  platform::File reader = platform::File::OpenForRead(tree.Path("f"), platform::File::Share::kDenyWrite);
  ASSERT_TRUE(reader.is_open());
  // A writer cannot open the file while it is held with deny-write sharing.
  const HANDLE writer = CreateFileW(tree.Path("f").c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
  if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
  reader.Close();
  EXPECT_EQ(tree.Read("f"), "x");
#else
  GTEST_SKIP() << "POSIX has no sharing modes";
#endif
}

using Registry = RegistryTest;

TEST_F(Registry, RawValuesQueryAndDelete) {
  platform::RegKey key;
  ASSERT_EQ(platform::RegKey::Create(L"Software\\Trackscrub", platform::RegAccess::kWrite, &key), 0);
  const uint8_t data[6] = {'a', 0, 'b', 0, 0, 0};
  ASSERT_EQ(key.SetValue(L"Name", platform::kRegSz, data, 6), 0);
  key.Close();

  platform::RegKey reader;
  ASSERT_EQ(platform::RegKey::Open(L"Software\\Trackscrub", platform::RegAccess::kRead, &reader), 0);
  uint32_t type = 0, size = 0;
  ASSERT_EQ(reader.QueryValue(L"name", &type, nullptr, &size), 0);  // names ignore case
  EXPECT_EQ(type, platform::kRegSz);
  EXPECT_EQ(size, 6u);
  uint8_t small[2];
  size = sizeof small;
  EXPECT_EQ(reader.QueryValue(L"Name", &type, small, &size), platform::kErrorMoreData);
  EXPECT_EQ(size, 6u);
  EXPECT_EQ(reader.QueryValue(L"Missing", &type, nullptr, &size), platform::kErrorFileNotFound);

  platform::RegKey writer;
  ASSERT_EQ(platform::RegKey::Create(L"Software\\Trackscrub", platform::RegAccess::kWrite, &writer), 0);
  EXPECT_EQ(writer.DeleteValue(L"Name"), 0);
  EXPECT_EQ(writer.DeleteValue(L"Name"), platform::kErrorFileNotFound);
}

TEST_F(Registry, OpeningAMissingKeyFails) {
  platform::RegKey key;
  EXPECT_EQ(platform::RegKey::Open(L"Software\\NoSuchKey", platform::RegAccess::kRead, &key),
            platform::kErrorFileNotFound);
  EXPECT_FALSE(key.is_open());
}

TEST_F(Registry, KeysMoveWithoutClosingTwice) {
  platform::RegKey a;
  ASSERT_EQ(platform::RegKey::Create(L"Software\\Trackscrub", platform::RegAccess::kWrite, &a), 0);
  platform::RegKey b = std::move(a);
  EXPECT_FALSE(a.is_open());
  ASSERT_TRUE(b.is_open());
  const uint8_t one[4] = {1, 0, 0, 0};
  EXPECT_EQ(b.SetValue(L"X", platform::kRegDword, one, 4), 0);
  platform::RegKey c;
  ASSERT_EQ(platform::RegKey::Create(L"Software\\Other", platform::RegAccess::kWrite, &c), 0);
  c = std::move(b);
  EXPECT_EQ(c.SetValue(L"Y", platform::kRegDword, one, 4), 0);
}

TEST(IniFiles, ReadsStringsAndNumbers) {
  TempTree tree;
  tree.Write("profiles.ini",
             "[General]\r\nStartWithLastProfile=1\r\n\r\n[Profile0]\r\nName=default\r\n"
             "IsRelative = 1 \r\nPath=Profiles/abc.default\r\nQuoted=\"x y\"\r\n"
             "Caf\xE9=\xE9t\xE9\r\n[profile1]\r\nIsRelative=0\r\nNumber=-12abc\r\n");
  const platform::IniFile file(tree.Path("profiles.ini"));
  EXPECT_EQ(file.ReadString(L"Profile0", L"Path", L""), L"Profiles/abc.default");
  EXPECT_EQ(file.ReadString(L"PROFILE0", L"path", L""), L"Profiles/abc.default");
  EXPECT_EQ(file.ReadString(L"Profile0", L"Quoted", L""), L"x y");
  EXPECT_EQ(file.ReadString(L"Profile0", L"Caf\u00e9", L""), L"\u00e9t\u00e9");
  EXPECT_EQ(file.ReadString(L"Profile9", L"Path", L"none"), L"none");
  EXPECT_EQ(file.ReadInt(L"Profile0", L"IsRelative", 7), 1);
  EXPECT_EQ(file.ReadInt(L"Profile1", L"IsRelative", 7), 0);
  EXPECT_EQ(file.ReadInt(L"Profile1", L"Number", 7), -12);
  EXPECT_EQ(file.ReadInt(L"Profile1", L"Missing", 7), 7);
  EXPECT_EQ(platform::IniFile(tree.Path("missing.ini")).ReadInt(L"Profile0", L"Path", 7), 7);
}

TEST(IniFiles, Utf8ListsFallBackToTheAnsiCodePagePerLine) {
  using enum platform::IniEncoding;
  const struct {
    const char* what;
    std::string bytes;  // after "[Profile0]\n": the line of Path=
    platform::IniEncoding encoding;
    std::wstring path;
  } cases[] = {
      {"UTF-8 as UTF-8", "Path=Profiles/k7k7.Zo\xC3\xAB", kUtf8, L"Profiles/k7k7.Zo\u00eb"},
      {"a Windows-1252 line in a UTF-8 list", "Path=Zo\xEB", kUtf8, L"Zo\u00eb"},
      {"an overlong form is not UTF-8", "Path=\xC1\xBF", kUtf8, L"\u00c1\u00bf"},
      {"UTF-8 in an ANSI file", "Path=Zo\xC3\xAB", kAnsi, L"Zo\u00c3\u00ab"},
  };
  for (const bool bom : {false, true}) {
    for (const auto& c : cases) {
      if (bom && c.encoding == kAnsi) continue;  // an ANSI file has no BOM
      SCOPED_TRACE(std::string(c.what) + (bom ? " after a BOM" : ""));
      TempTree tree;
      tree.Write("profiles.ini", (bom ? "\xEF\xBB\xBF" : "") + ("[Profile0]\n" + c.bytes) + "\nIsRelative=1\n");
      const platform::IniFile file(tree.Path("profiles.ini"), c.encoding);
      EXPECT_EQ(file.ReadString(L"Profile0", L"Path", L""), c.path);
      EXPECT_EQ(file.ReadInt(L"Profile0", L"IsRelative", 7), 1);
    }
  }
}

TEST(Time, FileTimeToSystemTime) {
  platform::SystemTime st;
  // 2010-05-12 13:45:12.250 UTC
  const uint64_t ft = (1273671912ULL + 11644473600ULL) * 10000000ULL + 2500000ULL;
  ASSERT_TRUE(platform::FileTimeToSystemTime(ft, &st));
  EXPECT_EQ(st.year, 2010);
  EXPECT_EQ(st.month, 5);
  EXPECT_EQ(st.day, 12);
  EXPECT_EQ(st.day_of_week, 3);  // a Wednesday
  EXPECT_EQ(st.hour, 13);
  EXPECT_EQ(st.minute, 45);
  EXPECT_EQ(st.second, 12);
  EXPECT_EQ(st.milliseconds, 250);
  ASSERT_TRUE(platform::FileTimeToSystemTime(0, &st));
  EXPECT_EQ(st.year, 1601);
  EXPECT_EQ(st.day_of_week, 1);  // 1601-01-01 was a Monday
  EXPECT_FALSE(platform::FileTimeToSystemTime(0x8000000000000000ULL, &st));
}

TEST(Time, ClocksAgree) {
  const int64_t from_filetime =
      static_cast<int64_t>(platform::GetSystemTimeAsFileTime() / 10000000ULL) - 11644473600LL;
  EXPECT_NEAR(static_cast<double>(from_filetime),
              static_cast<double>(platform::CurrentCalendarTime()), 2.0);
}

TEST(Text, AnsiCodePageIsWindows1252) {
  EXPECT_EQ(platform::WideFromAnsi("\x80\xE9" "a"), L"\u20ac\u00e9a");
}

TEST(Text, Utf8RoundTrip) {
  const std::wstring text = L"Jos\u00e9 \u0418\u0432\u0430\u043d \u20ac";
  EXPECT_EQ(platform::Utf8FromWide(text), "Jos\xC3\xA9 \xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD \xE2\x82\xAC");
  EXPECT_EQ(platform::WideFromUtf8(platform::Utf8FromWide(text)), text);
  EXPECT_EQ(platform::WideFromUtf8("a\xFF" "b"), L"a\ufffdb");
}
