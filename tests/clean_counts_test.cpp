// What a clean counts is what it removed: a rewrite that fails, a database that may
// not be written, count nothing, and every file they did not change is as it was.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>
#endif

#include <filesystem>
#include <functional>

#include "sqlite_support.h"
#include "stores/stores.h"
#include "support/temp_tree.h"
#include "support/tree_listing.h"

namespace {

const std::string kIE = std::string(TempProfile::kCookies) + "/c.txt";
const std::string kFirefox = std::string(TempProfile::kAppData) + "/Mozilla/Firefox/";
const std::string kProfile = kFirefox + "Profiles/p.default/";
const std::string kChrome = std::string(TempProfile::kLocalAppData) + "/Google/Chrome/User Data/Default/Cookies";
const std::string kSafari = std::string(TempProfile::kLocalAppData) + "/Apple Computer/Safari/Databases/";
const std::string kPlist = std::string(TempProfile::kAppData) + "/Apple Computer/Safari/Cookies/Cookies.plist";

const std::string kIERecords = "a\nv\ntracker.com/\n0\n0\n0\n0\n0\n*\nb\nv\nkeep.example/\n0\n0\n0\n0\n0\n*\n";
const std::string kMozRows = std::string(kFirefoxCookieSchema) +
    "INSERT INTO moz_cookies (name, value, host, path, expiry, lastAccessed, creationTime, isSecure, "
    "isHttpOnly) VALUES ('a', '1', '.tracker.com', '/', 0, 0, 0, 0, 0), ('b', '2', 'x.tracker.com', '/', 0, "
    "0, 0, 0, 0), ('c', '3', 'keep.example', '/', 0, 0, 0, 0, 0);";
const std::string kChromeRows = std::string(kChromeSchemaV12) +
    "INSERT INTO cookies (creation_utc, host_key, name, value, path, expires_utc, is_secure, is_httponly, "
    "last_access_utc, has_expires, is_persistent, priority, encrypted_value, samesite, source_scheme) VALUES "
    "(1, '.tracker.com', 'a', '1', '/', 0, 0, 0, 0, 1, 1, 1, X'', -1, 2), "
    "(2, 'ads.tracker.com', 'b', '2', '/', 0, 0, 0, 0, 1, 1, 1, X'', -1, 2);";

template <typename Array>
std::function<int(const CCookieFilter&)> Clean(int (*store)(const CCookieFilter&, Array&, bool)) {
  return [store](const CCookieFilter& filter) {
    Array scratch;
    return store(filter, scratch, true);
  };
}

template <typename Array>
std::function<int(const CCookieFilter&)> Clean(int (*store)(const CCookieFilter&, Array&, bool,
                                                            HeldStores*)) {
  return [store](const CCookieFilter& filter) {
    Array scratch;
    return store(filter, scratch, true, nullptr);
  };
}

// Runs `clean`; when `full`, no file of this process can grow beyond a few bytes
// meanwhile and writes fail as on a full disk (POSIX only).
int CleanOn([[maybe_unused]] bool full, const std::function<int()>& clean) {
#ifdef _WIN32
  return clean();
#else
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit small = saved;
  small.rlim_cur = full ? 16 : saved.rlim_cur;
  std::signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &small);
  const int removed = clean();
  setrlimit(RLIMIT_FSIZE, &saved);
  return removed;
#endif
}

}  // namespace

TEST(CleanCounts, CountOnlyWhatWasRemoved) {
  const struct {
    const char* name;
    std::string file;
    bool database;      // built by running `bytes` as SQL
    std::string bytes;
    std::function<int(const CCookieFilter&)> clean;
    bool disk_full;
    int removed;  // the file changes when something is, nothing else ever does
    // The file (`file` and this suffix) that also gets a second name, so that no
    // clean may write it; nullptr: none.
    const char* linked = nullptr;
  } cases[] = {
      {"IE cookie file rewritten", kIE, false, kIERecords, Clean(ProcessIECookies), false, 1},
      {"IE cookie file on a full disk", kIE, false, kIERecords, Clean(ProcessIECookies), true, 0},
      {"cookies.txt on a full disk", kProfile + "cookies.txt", false,
       ".tracker.com\tTRUE\t/\tFALSE\t0\ta\t1\nkeep.example\tTRUE\t/\tFALSE\t0\tb\t2\n",
       Clean(ProcessFirefoxCookies), true, 0},
      {"Cookies.plist on a full disk", kPlist, false,
       "<plist>\n<array>\n\t<dict>\n\t\t<key>Domain</key>\n\t\t<string>.tracker.com</string>\n\t\t<key>Path</key>"
       "\n\t\t<string>/</string>\n\t</dict>\n\t<dict>\n\t\t<key>Domain</key>\n\t\t<string>keep.example</string>\n"
       "\t\t<key>Path</key>\n\t\t<string>/</string>\n\t</dict>\n</array>\n</plist>\n",
       Clean(ProcessSafariCookies), true, 0},
      {"Chrome cookies on a full disk", kChrome, true, kChromeRows, Clean(ProcessChromeCookies), true, 0},
      {"Chrome cookies with a second name", kChrome, true, kChromeRows, Clean(ProcessChromeCookies), false, 0,
       ""},
      {"Firefox cookies whose -wal has a second name", kProfile + "cookies.sqlite", true, kMozRows,
       Clean(ProcessFirefoxCookies), false, 0, "-wal"},
      {"DOM storage whose -journal has a second name", kProfile + "webappsstore.sqlite", true,
       std::string(kWebappsstoreSchemaOld) + "INSERT INTO webappsstore2 VALUES ('moc.rekcart.:http:80', 'k', 'v', "
       "0, '');", Clean(ProcessFirefoxUserdata), false, 0, "-journal"},
      {"Safari database index with a second name", kSafari + "Databases.db", true,
       "CREATE TABLE Databases (guid INTEGER PRIMARY KEY AUTOINCREMENT, origin TEXT, name TEXT, displayName "
       "TEXT, estimatedSize INTEGER, path TEXT); INSERT INTO Databases (origin, name, displayName, "
       "estimatedSize, path) VALUES ('http_www.tracker.com_0', 'n', 'd', 0, '1.db');",
       Clean(ProcessSafariUserdata), false, 0, ""},
  };
  const CCookieFilter filter(L"*.tracker.com\n");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
#ifdef _WIN32
    if (c.disk_full) continue;  // no per-process file size limit to stand for a full disk
#endif
    TempProfile profile;  // with the Firefox profile and the Safari page database every row may need
    profile.Write(kFirefox + "profiles.ini", "[Profile0]\nPath=Profiles/p.default\nIsRelative=1\n");
    profile.Write(kSafari + "http_www.tracker.com_0/1.db", "data");
    if (c.database) {
      profile.MakeDir(c.file.substr(0, c.file.rfind('/')));
      TestDb(profile.Path(c.file)).Exec(c.bytes);
    } else {
      profile.Write(c.file, c.bytes);
    }
    if (c.linked != nullptr) {
      const std::string linked = c.file + c.linked;
      if (!profile.Exists(linked)) profile.Write(linked, "");
      std::filesystem::create_hard_link(profile.Native(linked), profile.Native(linked + ".other"));
    }
    const TreeListing before = ListTree(profile.root());
    EXPECT_EQ(CleanOn(c.disk_full, [&] { return c.clean(filter); }), c.removed);
    const std::vector<std::string> changed = ChangedPaths(before, ListTree(profile.root()));
    EXPECT_EQ(changed.size(), c.removed > 0 ? 1u : 0u);
    EXPECT_EQ(OutsideOf(changed, {c.file}), std::vector<std::string>{});
  }
}
