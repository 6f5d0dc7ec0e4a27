// Profiles built to mislead: links, names Windows could not hold, pipes and
// devices where the stores expect their files. Every case runs a scan and a clean
// of all browsers over a profile folder with a folder "outside" beside it, and
// compares listings of everything below both: the scan changes nothing, the clean
// changes only what the case allows and counts what it removed.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <winioctl.h>
#else
#include <sys/mount.h>
#include <sys/stat.h>
#endif

#include "platform/platform.h"
#include "platform/race_hook.h"
#include "scan/scanner.h"
#include "sqlite_support.h"
#include "support/temp_tree.h"
#include "support/tree_listing.h"

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
// A junction at `link` to the folder `target`; false when the system refuses.
bool MakeJunction(const fs::path& link, const fs::path& target) {
  std::error_code error;
  if (!fs::create_directory(link, error)) return false;
  HANDLE handle = CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const std::wstring print = fs::absolute(target).wstring(), substitute = L"\\??\\" + print;
  const auto bytes = [](size_t chars) { return static_cast<uint16_t>(chars * 2); };
  // Tag, data length, reserved; the offsets and lengths of both names; the names.
  std::vector<uint16_t> buffer = {IO_REPARSE_TAG_MOUNT_POINT & 0xFFFF, IO_REPARSE_TAG_MOUNT_POINT >> 16,
                                  0, 0, 0, bytes(substitute.size()), bytes(substitute.size() + 1),
                                  bytes(print.size())};
  buffer.insert(buffer.end(), substitute.c_str(), substitute.c_str() + substitute.size() + 1);
  buffer.insert(buffer.end(), print.c_str(), print.c_str() + print.size() + 1);
  buffer[2] = bytes(buffer.size() - 4);
  DWORD returned = 0;
  const bool ok = DeviceIoControl(handle, FSCTL_SET_REPARSE_POINT, buffer.data(), bytes(buffer.size()),
                                  nullptr, 0, &returned, nullptr) != FALSE;
  CloseHandle(handle);
  if (!ok) fs::remove(link, error);
  return ok;
}
#endif

const std::string kCookies = "profile/AppData/Roaming/Microsoft/Windows/Cookies/";
const std::string kFlash = "profile/AppData/Roaming/Macromedia/Flash Player/#SharedObjects/X/";
const std::string kEvilFlash = kFlash + "www.tracker.com";
const std::string kChrome = "profile/AppData/Local/Google/Chrome/User Data/";
const std::string kFirefox = "profile/AppData/Roaming/Mozilla/Firefox/";
const std::string kSafari = "profile/AppData/Local/Apple Computer/Safari/";
const std::string kSafariPlist = "profile/AppData/Roaming/Apple Computer/Safari/Cookies/Cookies.plist";
const std::string kUserData = "profile/UserData/";
const std::pair<std::string, std::string> kFirefoxProfile = {
    kFirefox + "profiles.ini", "[Profile0]\nIsRelative=1\nPath=Profiles/p\n"};
const std::string kEvilChromeDb =
    std::string(kChromeSchemaV12) +
    "INSERT INTO cookies (creation_utc, host_key, name, value, path, expires_utc, is_secure, "
    "is_httponly, last_access_utc, has_expires, is_persistent, priority, encrypted_value, samesite, "
    "source_scheme) VALUES (1, '.www.tracker.com', 'n', 'v', '/', 0, 0, 0, 0, 1, 1, 1, X'', -1, 2)";

std::string IERecord(const std::string& site) {
  return "n\nv\n" + site + "\n1536\n2015032320\n30912156\n3477790720\n30405223\n*\n";
}

// An index.dat in the first storage folder whose entries (URL, data file) name
// files in subfolder "SUB1".
std::string Index(const std::vector<std::pair<std::string, std::string>>& entries) {
  auto put32 = [](std::string& bytes, size_t at, size_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
  };
  const size_t records = 0x200 + 512;
  std::string bytes(records + 256 * entries.size(), '\0');
  bytes.replace(0, 27, "Client UrlCache MMF Ver 5.2");
  bytes.replace(80, 4, "SUB1");
  bytes.replace(0x200, 4, "HASH");
  put32(bytes, 28, bytes.size());
  put32(bytes, 32, 0x200);
  put32(bytes, 0x204, 4);
  for (size_t e = 0; e < entries.size(); ++e) {
    const auto& [url, file] = entries[e];
    const size_t record = records + 256 * e;
    put32(bytes, 0x210 + 8 * e, 0x5A5A5A00);
    put32(bytes, 0x214 + 8 * e, record);
    bytes.replace(record, 4, "URL ");
    bytes.replace(record + 0x68, url.size(), url);
    bytes.replace(record + 0x68 + url.size() + 1, file.size(), file);
    put32(bytes, record + 4, 2);
    put32(bytes, record + 52, 0x68);
    put32(bytes, record + 60, 0x68 + url.size() + 1);
  }
  return bytes;
}

// An index.dat naming `file` for one evil site.
std::string Index(const std::string& file) { return Index({{"userdata:x@http@www.tracker.com", file}}); }

// A Cookies.plist of cookies given as (domain, name).
std::string Plist(const std::vector<std::pair<std::string, std::string>>& cookies) {
  std::string plist = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<array>\n";
  for (const auto& [domain, name] : cookies) {
    plist += "\t<dict>\n\t\t<key>Domain</key>\n\t\t<string>" + domain +
             "</string>\n\t\t<key>Name</key>\n\t\t<string>" + name + "</string>\n\t</dict>\n";
  }
  return plist + "</array>\n</plist>\n";
}

enum Trap { kFile, kFolder, kLink, kPipe, kMount, kSql };

struct Hostile {
  const char* name;
  Trap trap;
  std::string at;
  std::string target = "";  // a link's or mount's target, a file's bytes, or the SQL for a new database
  std::vector<std::pair<std::string, std::string>> files = {};  // written first
  int cleaned = 0;                           // what the clean reports
  std::vector<std::string> may_change = {};  // below the root; nothing else may change
};

// A profile folder beside a folder "outside" that holds what a trap points at: an
// evil cookie file, and a folder with another and a Chrome database with an evil row.
class World : public TempTree {
 public:
  World() {
    Write("outside/victim.txt", IERecord("www.tracker.com/"));
    Write("outside/dir/victim.txt", IERecord("www.tracker.com/"));
    Write("outside/cookies.txt", ".tracker.com\tTRUE\t/\tFALSE\t0\tn\tv\n");
    Build({"", kSql, "outside/dir/Cookies", kEvilChromeDb});
    MakeDir("profile");
    platform::SetProfileRoot(Path("profile"));
  }
  ~World() {
    platform::SetProfileRoot(L"");
#ifndef _WIN32
    if (mounted_) umount2(mounted_->c_str(), MNT_DETACH);
#endif
  }

  // Builds the case's files and trap; false where this system cannot make them
  // (Wine makes no symbolic links, Windows no pipes, mounts or names with "\";
  // mounts need root).
  bool Build(const Hostile& c) {
    const bool backslash_names = fs::path("a\\b").filename() == "a\\b";
    if (!backslash_names && c.at.find('\\') != std::string::npos) return false;
    for (const auto& [relative, bytes] : c.files) Write(relative, bytes);
    fs::create_directories(Native(c.at).parent_path());
    std::error_code error;
    switch (c.trap) {
      case kFile:
        Write(c.at, c.target);
        return true;
      case kFolder:
        MakeDir(c.at);
        return true;
      case kSql:
        TestDb(Path(c.at)).Exec(c.target);
        return true;
      case kLink:
#ifdef _WIN32
        if (fs::is_directory(Native(c.target))) return MakeJunction(Native(c.at), Native(c.target));
#endif
        if (c.target[0] == '/' && !fs::exists(c.target)) return false;
        fs::create_symlink(c.target[0] == '/' ? fs::path(c.target) : Native(c.target), Native(c.at), error);
        return !error;
#ifdef _WIN32
      default:
        return false;
#else
      case kPipe:
        return mkfifo(Native(c.at).c_str(), 0644) == 0;
      case kMount:
        MakeDir(c.at);
        if (mount(Native(c.target).c_str(), Native(c.at).c_str(), nullptr, MS_BIND, nullptr) != 0) return false;
        mounted_ = Native(c.at);
        return true;
#endif
    }
    return false;
  }

 private:
  std::optional<fs::path> mounted_;
};

void Check(const std::vector<Hostile>& cases) {
  const CCookieFilter filter(L"*.tracker.com\n*.tracker.com?\n*outside*\n");
  const auto all = [](Browser) { return true; };
  for (const Hostile& c : cases) [&] {
    SCOPED_TRACE(c.name);
    World world;
    if (!world.Build(c)) GTEST_SKIP() << "this system cannot make the trap: " << c.name;
    const TreeListing before = ListTree(world.root());
    CScanLists lists;
    RunScanSequence(filter, &lists, all);
    EXPECT_EQ(ChangedPaths(before, ListTree(world.root())), std::vector<std::string>());
    EXPECT_EQ(RunCleanSequence(filter, all), c.cleaned);
    const std::vector<std::string> changed = ChangedPaths(before, ListTree(world.root()));
    EXPECT_EQ(OutsideOf(changed, c.may_change), std::vector<std::string>());
    EXPECT_EQ(changed.empty(), c.cleaned == 0) << testing::PrintToString(changed);
  }();
}

}  // namespace

TEST(HostileProfile, LinksAreNeverFollowed) {
  const std::vector<std::pair<std::string, std::string>> sol = {{kEvilFlash + "/a.sol", "TCSO"}};
  Check({
      {"an IE cookie file that is a link", kLink, kCookies + "evil.txt", "outside/victim.txt"},
      {"a Chrome Cookies database that is a link", kLink, kChrome + "Default/Cookies", "outside/dir/Cookies"},
      {"a Chrome profile folder that is a link", kLink, kChrome + "Default", "outside/dir"},
      {"a Firefox cookie file that is a link", kLink, kFirefox + "Profiles/p/cookies.txt", "outside/cookies.txt",
       {kFirefoxProfile}},
      {"a Firefox cookie database that is a link", kLink, kFirefox + "Profiles/p/cookies.sqlite",
       "outside/dir/Cookies", {kFirefoxProfile}},
      {"a Flash site folder that is a link", kLink, kEvilFlash, "outside/dir"},
      {"a link inside an evil Flash site folder", kLink, kEvilFlash + "/escape", "outside/dir", sol, 1, {kEvilFlash}},
      {"a bind mount inside an evil Flash site folder", kMount, kEvilFlash + "/mounted", "outside/dir", sol},
      {"an IE storage subfolder that is a link", kLink, kUserData + "SUB1", "outside/dir",
       {{kUserData + "index.dat", Index("victim.txt")}}},
  });
}

TEST(HostileProfile, NewFilesAreCreatedNeverReused) {
  const std::pair<std::string, std::string> mixed = {kCookies + "c.txt",
                                                     IERecord("www.tracker.com/") + IERecord("example.org/")};
  Check({
      {"a leftover new file that links to a file elsewhere", kLink, mixed.first + ".tsnew.tmp", "outside/victim.txt",
       {mixed}, 1, {mixed.first}},
      {"a leftover new file that links to a missing file elsewhere", kLink, mixed.first + ".tsnew.tmp",
       "outside/new.txt", {mixed}, 1, {mixed.first}},
  });
}

TEST(HostileProfile, NamesWindowsCouldNotHoldAreSkipped) {
  Check({
      {"a Flash site folder whose name climbs out", kFile, kFlash + "..\\..\\..\\..\\..\\..\\..\\outside\\dir/a.sol",
       "TCSO"},
      {"an IE cookie file whose name climbs out", kFile, kCookies + "..\\..\\..\\..\\..\\..\\outside\\victim.txt", "x"},
      {"a Chrome profile folder whose name climbs out", kFolder, kChrome + "..\\..\\..\\..\\..\\..\\outside"},
      {"a Firefox profile path that climbs out", kFile, kFirefoxProfile.first,
       "[Profile0]\nIsRelative=1\nPath=../../../../../outside\n"},
      {"a Safari database row whose origin holds wildcards and whose path climbs out", kSql,
       kSafari + "Databases/Databases.db",
       "CREATE TABLE Databases (guid INTEGER PRIMARY KEY AUTOINCREMENT, origin TEXT, name TEXT, displayName "
       "TEXT, estimatedSize INTEGER, path TEXT); INSERT INTO Databases (origin, name, displayName, "
       "estimatedSize, path) VALUES ('http_*.tracker.com_0', 'n', 'd', 0, "
       "'..\\..\\..\\..\\..\\..\\..\\outside\\dir\\Cookies')",
       {{kSafari + "Databases/http_www.tracker.com_0/1.db", "data"}}, 1, {kSafari + "Databases/Databases.db"}},
  });
}

#ifndef _WIN32  // Windows names are UTF-16
TEST(HostileProfile, EntriesAreReachedByTheirOwnNames) {
  // Each pair differs in letter case and in a byte that is not UTF-8; only the
  // lower-case one is evil.
  std::vector<std::pair<std::string, std::string>> files;
  std::vector<std::string> evil;
  for (const char* n : {"1", "2", "3"}) {
    evil.push_back(kFlash + "s" + n + ".tracker.com\xff");
    files.push_back({evil.back() + "/a.sol", "evil"});
    files.push_back({kFlash + "S" + n + ".TRACKER.COM\xfe/a.sol", "harmless"});
  }
  Check({{"Flash site folders whose names are not UTF-8", kFolder, kFlash, "", files, 3, evil}});
}
#endif

TEST(HostileProfile, PipesAndDevicesNeverHang) {
  Check({
      {"a pipe as an IE cookie file", kPipe, kCookies + "c.txt"},
      {"a pipe as Cookies.plist", kPipe, kSafariPlist},
      {"an endless device as Cookies.plist", kLink, kSafariPlist, "/dev/zero"},
      {"a pipe as profiles.ini", kPipe, kFirefoxProfile.first},
      {"a pipe as a Firefox cookie file", kPipe, kFirefox + "Profiles/p/cookies.txt", "", {kFirefoxProfile}},
      {"a pipe as index.dat", kPipe, kUserData + "index.dat"},
      {"a pipe as a storage data file", kPipe, kUserData + "SUB1/data.xml", "",
       {{kUserData + "index.dat", Index("data.xml")}}},
      {"a pipe in an evil Flash site folder", kPipe, kEvilFlash + "/a.sol", "", {}, 1, {kEvilFlash}},
  });
}

TEST(HostileProfile, ADataFileAKeptEntryNamesIsNeverDeleted) {
  const std::string evil = "userdata:x@http@www.tracker.com", data = kUserData + "SUB1/shared.xml";
  Check({
      {"a harmless entry naming the evil one's file in other letter case", kFile, data, "data",
       {{kUserData + "index.dat", Index({{evil, "shared.xml"}, {"userdata:x@http@example.org", "SHARED.XML"}})}}},
      {"two evil entries naming one file", kFile, data, "data",
       {{kUserData + "index.dat", Index({{evil, "shared.xml"}, {evil, "shared.xml"}})}}, 1, {data}},
  });
}

// Another program changes a file the clean has read, just as the clean is about to
// replace or delete it: it appends bytes, or saves a new version beside it and
// renames that over it, as browsers do. The clean must leave what it left.
TEST(HostileProfile, AFileAnotherProgramChangedAfterTheReadIsLeftAsThatProgramLeftIt) {
  const std::string ff = kFirefox + "Profiles/p/cookies.txt", ie = kCookies + "evil.txt", data = kUserData + "SUB1/data.xml";
  const struct {
    const char* name;
    std::vector<std::pair<std::string, std::string>> files;
    std::string raced;  // the file the other program changes
    bool replace;       // save a new version; else append
    std::string bytes;  // appended, or the new version
  } races[] = {
      {"cookies.txt appended to", {kFirefoxProfile, {ff, ".tracker.com\tTRUE\t/\tFALSE\t0\tn\tv\n"}}, ff, false, "news.example\tTRUE\t/\tFALSE\t0\tlogin\tnew\n"},
      {"an IE cookie file saved anew", {{ie, IERecord("www.tracker.com/")}}, ie, true, IERecord("example.org/")},
      {"Cookies.plist saved anew", {{kSafariPlist, Plist({{".tracker.com", "n"}, {"example.org", "k"}})}}, kSafariPlist, true, Plist({{"example.org", "login"}})},
      {"an IE storage data file saved anew", {{kUserData + "index.dat", Index("data.xml")}, {data, "evil"}}, data, true, "login"},
  };
  for (const auto& race : races) {
    SCOPED_TRACE(race.name);
    World world;
    for (const auto& [relative, bytes] : race.files) world.Write(relative, bytes);
    const TreeListing before = ListTree(world.root());
    bool acted = false, changed = false;
    TreeListing after_change;
    platform::SetReplaceHookForTests([&](const std::wstring& path) {
      platform::FileIdentity at, raced;
      if (acted || !platform::GetPathIdentity(path, &at) || !platform::GetPathIdentity(world.Path(race.raced), &raced) ||
          !at.SameEntry(raced)) {
        return;
      }
      acted = true;
      const fs::path target = world.Native(race.raced), saved = target.string() + ".saving";
      std::error_code error;
      if (race.replace) {
        std::ofstream(saved, std::ios::binary) << race.bytes;
        fs::rename(saved, target, error);
        if (error) fs::remove(saved);
      } else if (!(std::ofstream(target, std::ios::binary | std::ios::app) << race.bytes << std::flush)) {
        error = std::make_error_code(std::errc::permission_denied);
      }
      changed = !error;
      after_change = ListTree(world.root());
      // The clean's own new file, written before this moment, goes with a refused replace.
      std::erase_if(after_change, [](const auto& entry) { return entry.first.find(".tsnew") != entry.first.npos; });
    });
    const int cleaned = RunCleanSequence(CCookieFilter(L"*.tracker.com\n*.tracker.com?\n"), [](Browser) { return true; });
    platform::SetReplaceHookForTests(nullptr);
    EXPECT_TRUE(acted);
    const TreeListing after = ListTree(world.root());
    if (changed) {  // the clean saw the change and left everything as the other program left it
      EXPECT_EQ(cleaned, 0);
      EXPECT_EQ(ChangedPaths(after_change, after), std::vector<std::string>());
    } else {  // the read handle held the file (Windows): the clean went on, removing the one evil record
      EXPECT_EQ(cleaned, 1);
      EXPECT_EQ(OutsideOf(ChangedPaths(before, after), {race.raced}), std::vector<std::string>());
    }
  }
}
