// Profiles built to mislead: links, names Windows could not hold, pipes and
// devices where the stores expect their files. Every case runs a scan and a clean
// of all browsers over a profile folder with a folder "outside" beside it, and
// compares listings of everything below both: the scan changes nothing, the clean
// changes only what the case allows and counts what it removed.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <winioctl.h>
#else
#include <sys/mount.h>
#include <sys/stat.h>
#endif

#include "platform/platform.h"
#include "scan/scanner.h"
#include "sqlite_support.h"
#include "support/temp_tree.h"
#include "support/tree_listing.h"

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
// A junction at `link` to the folder `target` (FSCTL_SET_REPARSE_POINT with a
// mount-point buffer); false when the system refuses.
bool MakeJunction(const fs::path& link, const fs::path& target) {
  std::error_code error;
  if (!fs::create_directory(link, error)) return false;
  HANDLE handle = CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const std::wstring print = fs::absolute(target).wstring();
  const std::wstring substitute = L"\\??\\" + print;
  // Tag, data length, reserved; then the four offsets and lengths and both names.
  std::vector<uint16_t> buffer = {0, 0, 0, 0, 0, static_cast<uint16_t>(substitute.size() * 2),
                                  static_cast<uint16_t>((substitute.size() + 1) * 2),
                                  static_cast<uint16_t>(print.size() * 2)};
  buffer.insert(buffer.end(), substitute.begin(), substitute.end());
  buffer.push_back(0);
  buffer.insert(buffer.end(), print.begin(), print.end());
  buffer.push_back(0);
  const uint32_t tag = IO_REPARSE_TAG_MOUNT_POINT;
  buffer[0] = static_cast<uint16_t>(tag & 0xFFFF);
  buffer[1] = static_cast<uint16_t>(tag >> 16);
  buffer[2] = static_cast<uint16_t>(buffer.size() * 2 - 8);
  DWORD returned = 0;
  const bool ok = DeviceIoControl(handle, FSCTL_SET_REPARSE_POINT, buffer.data(),
                                  static_cast<DWORD>(buffer.size() * 2), nullptr, 0, &returned,
                                  nullptr) != FALSE;
  CloseHandle(handle);
  if (!ok) fs::remove(link, error);
  return ok;
}
#endif

const std::string kCookies = "profile/AppData/Roaming/Microsoft/Windows/Cookies/";
const std::string kFlash = "profile/AppData/Roaming/Macromedia/Flash Player/#SharedObjects/X/";
const std::string kChrome = "profile/AppData/Local/Google/Chrome/User Data/";
const std::string kFirefox = "profile/AppData/Roaming/Mozilla/Firefox/";
const std::string kSafari = "profile/AppData/Local/Apple Computer/Safari/";
const std::string kSafariPlist = "profile/AppData/Roaming/Apple Computer/Safari/Cookies/Cookies.plist";
const std::string kUserData = "profile/UserData/";

std::string IERecord(const std::string& site) {
  return "n\nv\n" + site + "\n1536\n2015032320\n30912156\n3477790720\n30405223\n*\n";
}

// A profile folder beside a folder "outside" that holds what a trap points at: an
// evil cookie file, a folder, a Chrome database with an evil row and a Firefox
// cookie file with an evil line.
class World : public TempTree {
 public:
  World() {
    Write("outside/victim.txt", IERecord("www.tracker.com/"));
    Write("outside/dir/victim.txt", IERecord("www.tracker.com/"));
    Write("outside/cookies.txt", ".tracker.com\tTRUE\t/\tFALSE\t0\tn\tv\n");
    MakeDir("profile");
    ChromeDatabase("outside/Cookies");
    platform::SetProfileRoot(Path("profile"));
  }
  ~World() {
    platform::SetProfileRoot(L"");
#ifndef _WIN32
    for (const std::string& target : mounts_) umount2(Native(target).c_str(), MNT_DETACH);
#endif
  }

  void ChromeDatabase(const std::string& relative) const {
    fs::create_directories(Native(relative).parent_path());
    TestDb db(Path(relative));
    db.Exec(kChromeSchemaV12);
    db.Exec("INSERT INTO cookies (creation_utc, host_key, name, value, path, expires_utc, "
            "is_secure, is_httponly, last_access_utc, has_expires, is_persistent, priority, "
            "encrypted_value, samesite, source_scheme) VALUES (1, '.www.tracker.com', 'n', 'v', "
            "'/', 0, 0, 0, 0, 1, 1, 1, X'', -1, 2)");
  }
  // A symbolic link at `relative` to `target` (relative to the root, or absolute),
  // a junction on Windows when the target is a folder; false where the system
  // cannot make it (Wine makes no symbolic links).
  bool Link(const std::string& relative, const std::string& target) const {
    fs::create_directories(Native(relative).parent_path());
    std::error_code error;
#ifdef _WIN32
    if (fs::is_directory(Native(target))) return MakeJunction(Native(relative), Native(target));
#endif
    fs::create_symlink(target[0] == '/' ? fs::path(target) : Native(target), Native(relative), error);
    return !error;
  }
  // A pipe, or the bind mount of a folder; false where they cannot be made.
  bool Fifo(const std::string& relative) const {
#ifdef _WIN32
    (void)relative;
    return false;
#else
    fs::create_directories(Native(relative).parent_path());
    return mkfifo(Native(relative).c_str(), 0644) == 0;
#endif
  }
  bool BindMount(const std::string& relative, const std::string& source) {
#ifdef _WIN32
    (void)relative;
    (void)source;
    return false;
#else
    MakeDir(relative);
    if (mount(Native(source).c_str(), Native(relative).c_str(), nullptr, MS_BIND, nullptr) != 0) {
      return false;
    }
    mounts_.push_back(relative);
    return true;
#endif
  }

 private:
  std::vector<std::string> mounts_;
};

struct Hostile {
  const char* name;
  // Builds the trap; false when this system cannot make it.
  std::function<bool(World&)> build;
  int cleaned;                        // what the clean reports
  std::vector<std::string> may_change;  // below the root; nothing else may change
};

void Check(const Hostile& c) {
  SCOPED_TRACE(c.name);
  World world;
  if (!c.build(world)) GTEST_SKIP() << "this system cannot make the trap: " << c.name;
  const CCookieFilter filter(L"*.tracker.com\n*.tracker.com?\n*outside*\n");
  const auto all = [](Browser) { return true; };
  const TreeListing before = ListTree(world.root());
  CScanLists lists;
  RunScanSequence(filter, &lists, all);
  EXPECT_EQ(ChangedPaths(before, ListTree(world.root())), std::vector<std::string>());
  EXPECT_EQ(RunCleanSequence(filter, all), c.cleaned);
  const std::vector<std::string> changed = ChangedPaths(before, ListTree(world.root()));
  EXPECT_EQ(OutsideOf(changed, c.may_change), std::vector<std::string>());
  EXPECT_EQ(changed.empty(), c.cleaned == 0) << testing::PrintToString(changed);
}

// An index.dat in the first storage folder naming `file` in subfolder "SUB1".
std::string Index(const std::string& file) {
  auto put32 = [](std::string& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
  };
  std::string bytes(0x200 + 512 + 256, '\0');
  bytes.replace(0, 27, "Client UrlCache MMF Ver 5.2");
  bytes.replace(80, 4, "SUB1");
  put32(bytes, 32, 0x200);
  bytes.replace(0x200, 4, "HASH");
  put32(bytes, 0x204, 4);
  const size_t record = 0x200 + 512;
  put32(bytes, 0x210, 0x5A5A5A00);
  put32(bytes, 0x214, static_cast<uint32_t>(record));
  const std::string url = "userdata:x@http@www.tracker.com";
  bytes.replace(record, 4, "URL ");
  put32(bytes, record + 4, 2);
  put32(bytes, record + 52, 0x68);
  put32(bytes, record + 60, 0x68 + static_cast<uint32_t>(url.size()) + 1);
  bytes.replace(record + 0x68, url.size(), url);
  bytes.replace(record + 0x68 + url.size() + 1, file.size(), file);
  put32(bytes, 28, static_cast<uint32_t>(bytes.size()));
  return bytes;
}

const std::string kFirefoxProfile = "[Profile0]\nIsRelative=1\nPath=Profiles/p\n";

}  // namespace

TEST(HostileProfile, LinksAreNeverFollowed) {
  const std::string evil_site = kFlash + "www.tracker.com";
  const std::vector<Hostile> cases = {
      {"an IE cookie file that is a link",
       [](World& w) { return w.Link(kCookies + "evil.txt", "outside/victim.txt"); }, 0, {}},
      {"a Chrome Cookies database that is a link",
       [](World& w) { return w.Link(kChrome + "Default/Cookies", "outside/Cookies"); }, 0, {}},
      {"a Chrome profile folder that is a link",
       [](World& w) {
         w.ChromeDatabase("outside/chrome/Cookies");
         return w.Link(kChrome + "Default", "outside/chrome");
       },
       0, {}},
      {"a Firefox cookie file and database that are links",
       [](World& w) {
         w.Write(kFirefox + "profiles.ini", kFirefoxProfile);
         return w.Link(kFirefox + "Profiles/p/cookies.txt", "outside/cookies.txt") &&
                w.Link(kFirefox + "Profiles/p/cookies.sqlite", "outside/Cookies");
       },
       0, {}},
      {"a Flash site folder that is a link",
       [evil_site](World& w) { return w.Link(evil_site, "outside/dir"); }, 0, {}},
      {"a link inside an evil Flash site folder",
       [evil_site](World& w) {
         w.Write(evil_site + "/a.sol", "TCSO");
         return w.Link(evil_site + "/escape", "outside/dir");
       },
       1, {evil_site}},
      {"a bind mount inside an evil Flash site folder",
       [evil_site](World& w) {
         w.Write(evil_site + "/a.sol", "TCSO");
         return w.BindMount(evil_site + "/mounted", "outside/dir");
       },
       0, {}},
      {"an IE storage subfolder that is a link",
       [](World& w) {
         w.Write(kUserData + "index.dat", Index("victim.txt"));
         return w.Link(kUserData + "SUB1", "outside/dir");
       },
       0, {}},
  };
  for (const Hostile& c : cases) Check(c);
}

TEST(HostileProfile, NewFilesAreCreatedNeverReused) {
  const std::string mixed = IERecord("www.tracker.com/") + IERecord("example.org/");
  const std::vector<Hostile> cases = {
      {"a leftover new file that links to a file elsewhere",
       [mixed](World& w) {
         w.Write(kCookies + "c.txt", mixed);
         return w.Link(kCookies + "c.txt.tsnew.tmp", "outside/victim.txt");
       },
       1, {kCookies + "c.txt"}},
      {"a leftover new file that links to a missing file elsewhere",
       [mixed](World& w) {
         w.Write(kCookies + "c.txt", mixed);
         return w.Link(kCookies + "c.txt.tsnew.tmp", "outside/new.txt");
       },
       1, {kCookies + "c.txt"}},
  };
  for (const Hostile& c : cases) Check(c);
}

TEST(HostileProfile, NamesWindowsCouldNotHoldAreSkipped) {
  const bool backslash_names = fs::path("a\\b").filename() == "a\\b";
  const std::vector<Hostile> cases = {
      {"a Flash site folder whose name climbs out",
       [backslash_names](World& w) {
         w.Write(kFlash + "..\\..\\..\\..\\..\\..\\..\\outside\\dir/a.sol", "TCSO");
         return backslash_names;
       },
       0, {}},
      {"an IE cookie file whose name climbs out",
       [backslash_names](World& w) {
         w.Write(kCookies + "..\\..\\..\\..\\..\\..\\outside\\victim.txt", "x");
         return backslash_names;
       },
       0, {}},
      {"a Chrome profile folder whose name climbs out",
       [backslash_names](World& w) {
         w.MakeDir(kChrome + "..\\..\\..\\..\\..\\..\\outside");
         return backslash_names;
       },
       0, {}},
      {"a Firefox profile path that climbs out",
       [](World& w) {
         w.Write(kFirefox + "profiles.ini", "[Profile0]\nIsRelative=1\nPath=../../../../../outside\n");
         return true;
       },
       0, {}},
      {"a Safari database row whose origin holds wildcards and whose path climbs out",
       [](World& w) {
         w.MakeDir(kSafari + "Databases/http_www.tracker.com_0");
         TestDb db(w.Path(kSafari + "Databases/Databases.db"));
         db.Exec("CREATE TABLE Databases (guid INTEGER PRIMARY KEY AUTOINCREMENT, origin TEXT, "
                 "name TEXT, displayName TEXT, estimatedSize INTEGER, path TEXT);"
                 "INSERT INTO Databases (origin, name, displayName, estimatedSize, path) VALUES "
                 "('http_*.tracker.com_0', 'n', 'd', 0, '..\\..\\..\\..\\..\\..\\..\\outside\\Cookies')");
         return true;
       },
       1, {kSafari + "Databases/Databases.db"}},
  };
  for (const Hostile& c : cases) Check(c);
}

TEST(HostileProfile, EntriesAreReachedByTheirOwnNames) {
  // Each pair differs in letter case and in a byte that is not UTF-8; only the
  // lower-case one is evil.
  const std::vector<Hostile> cases = {
      {"Flash site folders whose names are not UTF-8",
       [](World& w) {
#ifdef _WIN32
         (void)w;
         return false;
#else
         for (const char* n : {"1", "2", "3"}) {
           w.Write(kFlash + "s" + n + ".tracker.com\xff/a.sol", "evil");
           w.Write(kFlash + "S" + n + ".TRACKER.COM\xfe/a.sol", "harmless");
         }
         return true;
#endif
       },
       3,
       {kFlash + "s1.tracker.com\xff", kFlash + "s2.tracker.com\xff", kFlash + "s3.tracker.com\xff"}},
  };
  for (const Hostile& c : cases) Check(c);
}

TEST(HostileProfile, PipesAndDevicesNeverHang) {
  const std::vector<Hostile> cases = {
      {"a pipe as an IE cookie file", [](World& w) { return w.Fifo(kCookies + "c.txt"); }, 0, {}},
      {"a pipe as Cookies.plist", [](World& w) { return w.Fifo(kSafariPlist); }, 0, {}},
      {"an endless device as Cookies.plist",
       [](World& w) { return fs::exists("/dev/zero") && w.Link(kSafariPlist, "/dev/zero"); },
       0, {}},
      {"a pipe as profiles.ini", [](World& w) { return w.Fifo(kFirefox + "profiles.ini"); }, 0, {}},
      {"a pipe as a Firefox cookie file",
       [](World& w) {
         w.Write(kFirefox + "profiles.ini", kFirefoxProfile);
         return w.Fifo(kFirefox + "Profiles/p/cookies.txt");
       },
       0, {}},
      {"a pipe as index.dat", [](World& w) { return w.Fifo(kUserData + "index.dat"); }, 0, {}},
      {"a pipe as a storage data file",
       [](World& w) {
         w.Write(kUserData + "index.dat", Index("data.xml"));
         return w.Fifo(kUserData + "SUB1/data.xml");
       },
       0, {}},
      {"a pipe in an evil Flash site folder",
       [](World& w) { return w.Fifo(kFlash + "www.tracker.com/a.sol"); }, 1,
       {kFlash + "www.tracker.com"}},
  };
  for (const Hostile& c : cases) Check(c);
}
