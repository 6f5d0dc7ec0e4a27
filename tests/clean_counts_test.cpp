// What a clean counts is what it removed: a rewrite that fails, a DELETE that
// removes no row, count nothing, and every file they did not change is as it was.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>
#endif

#include <functional>

#include "sqlite_support.h"
#include "stores/stores.h"
#include "support/temp_tree.h"
#include "support/tree_listing.h"

namespace {

const std::string kIE = std::string(TempProfile::kCookies) + "/";
const std::string kFirefox = std::string(TempProfile::kAppData) + "/Mozilla/Firefox/";
const std::string kProfile = kFirefox + "Profiles/p.default/";
const std::string kChrome = std::string(TempProfile::kLocalAppData) + "/Google/Chrome/User Data/Default/";
const std::string kSafariIndex =
    std::string(TempProfile::kLocalAppData) + "/Apple Computer/Safari/Databases/";
const std::string kPlist =
    std::string(TempProfile::kAppData) + "/Apple Computer/Safari/Cookies/Cookies.plist";

// A trigger that lets a DELETE on `table` succeed without removing the row.
std::string Skip(const std::string& table, const std::string& when) {
  return "CREATE TRIGGER skip BEFORE DELETE ON " + table + " WHEN " + when +
         " BEGIN SELECT RAISE(IGNORE); END;";
}

std::string IERecord(const std::string& name, const std::string& site) {
  return name + "\nv\n" + site + "\n0\n0\n0\n0\n0\n*\n";
}

std::string SafariEntry(const std::string& domain) {
  return "\t<dict>\n\t\t<key>Domain</key>\n\t\t<string>" + domain +
         "</string>\n\t\t<key>Path</key>\n\t\t<string>/</string>\n\t</dict>\n";
}

void MakeFirefoxProfile(const TempProfile& profile) {
  profile.Write(kFirefox + "profiles.ini", "[Profile0]\nPath=Profiles/p.default\nIsRelative=1\n");
}

void MakeMozCookies(const TempProfile& profile, const std::string& after) {
  MakeFirefoxProfile(profile);
  profile.MakeDir(kProfile);
  TestDb db(profile.Path(kProfile + "cookies.sqlite"));
  db.Exec(std::string(kFirefoxCookieSchema) +
          "INSERT INTO moz_cookies (name, value, host, path, expiry, lastAccessed, creationTime, "
          "isSecure, isHttpOnly) VALUES ('a', '1', '.tracker.com', '/', 0, 0, 0, 0, 0), "
          "('b', '2', 'x.tracker.com', '/', 0, 0, 0, 0, 0), ('c', '3', 'keep.example', '/', 0, 0, 0, 0, 0);" +
          after);
}

void MakeChromeCookies(const TempProfile& profile, const std::string& after) {
  profile.MakeDir(kChrome);
  TestDb db(profile.Path(kChrome + "Cookies"));
  db.Exec(std::string(kChromeSchemaV12) +
          "INSERT INTO cookies (creation_utc, host_key, name, value, path, expires_utc, is_secure, "
          "is_httponly, last_access_utc, has_expires, is_persistent, priority, encrypted_value, "
          "samesite, source_scheme) VALUES (1, '.tracker.com', 'a', '1', '/', 0, 0, 0, 0, 1, 1, 1, "
          "X'', -1, 2), (2, 'ads.tracker.com', 'b', '2', '/', 0, 0, 0, 0, 1, 1, 1, X'', -1, 2);" +
          after);
}

void MakeStorage(const TempProfile& profile, const std::string& after) {
  MakeFirefoxProfile(profile);
  profile.MakeDir(kProfile);
  TestDb db(profile.Path(kProfile + "webappsstore.sqlite"));
  db.Exec(std::string(kWebappsstoreSchemaOld) +
          "INSERT INTO webappsstore2 VALUES ('moc.rekcart.:http:80', 'k', 'v', 0, '');" + after);
}

struct CountCase {
  const char* name;
  std::function<void(const TempProfile&)> make;
  std::function<int(const CCookieFilter&)> clean;
  bool disk_full;  // during the clean no file may grow beyond a few bytes
  int removed;
  std::vector<std::string> changed;  // what may change; nothing else does
};

template <typename Array>
std::function<int(const CCookieFilter&)> Clean(int (*store)(const CCookieFilter&, Array&, bool)) {
  return [store](const CCookieFilter& filter) {
    Array scratch;
    return store(filter, scratch, true);
  };
}

const CountCase kCountCases[] = {
    {"IE cookie file rewritten",
     [](const TempProfile& p) { p.Write(kIE + "c.txt", IERecord("a", "tracker.com/") + IERecord("b", "keep.example/")); },
     Clean(ProcessIECookies), false, 1, {kIE + "c.txt"}},
    {"IE cookie file on a full disk",
     [](const TempProfile& p) { p.Write(kIE + "c.txt", IERecord("a", "tracker.com/") + IERecord("b", "keep.example/")); },
     Clean(ProcessIECookies), true, 0, {}},
    {"cookies.txt on a full disk",
     [](const TempProfile& p) {
       MakeFirefoxProfile(p);
       p.Write(kProfile + "cookies.txt", ".tracker.com\tTRUE\t/\tFALSE\t0\ta\t1\nkeep.example\tTRUE\t/\tFALSE\t0\tb\t2\n");
     },
     Clean(ProcessFirefoxCookies), true, 0, {}},
    {"Cookies.plist on a full disk",
     [](const TempProfile& p) { p.Write(kPlist, "<plist>\n<array>\n" + SafariEntry(".tracker.com") + SafariEntry("keep.example") + "</array>\n</plist>\n"); },
     Clean(ProcessSafariCookies), true, 0, {}},
    {"Chrome cookies on a full disk",
     [](const TempProfile& p) { MakeChromeCookies(p, ""); },
     Clean(ProcessChromeCookies), true, 0, {}},
    {"Chrome DELETE that removes no row",
     [](const TempProfile& p) { MakeChromeCookies(p, Skip("cookies", "old.name = 'a'")); },
     Clean(ProcessChromeCookies), false, 1, {kChrome + "Cookies"}},
    {"Firefox DELETEs that remove no row",
     [](const TempProfile& p) { MakeMozCookies(p, Skip("moz_cookies", "1")); },
     Clean(ProcessFirefoxCookies), false, 0, {}},
    {"Firefox DELETE that removes no row",
     [](const TempProfile& p) { MakeMozCookies(p, Skip("moz_cookies", "old.name = 'b'")); },
     Clean(ProcessFirefoxCookies), false, 1, {kProfile + "cookies.sqlite"}},
    {"DOM storage DELETE that removes no row",
     [](const TempProfile& p) { MakeStorage(p, Skip("webappsstore2", "1")); },
     Clean(ProcessFirefoxUserdata), false, 0, {}},
    {"Safari database row that stays",
     [](const TempProfile& p) {
       p.Write(kSafariIndex + "http_www.tracker.com_0/1.db", "data");
       TestDb db(p.Path(kSafariIndex + "Databases.db"));
       db.Exec("CREATE TABLE Databases (guid INTEGER PRIMARY KEY AUTOINCREMENT, origin TEXT, name TEXT, "
               "displayName TEXT, estimatedSize INTEGER, path TEXT);"
               "INSERT INTO Databases (origin, name, displayName, estimatedSize, path) "
               "VALUES ('http_www.tracker.com_0', 'n', 'd', 0, '1.db');" + Skip("Databases", "1"));
     },
     Clean(ProcessSafariUserdata), false, 0, {}},
};

// While it lives, and when `on`, no file of this process can grow beyond a few
// bytes: writes fail as on a full disk (POSIX; Windows leaves those rows out).
class FullDisk {
 public:
#ifdef _WIN32
  explicit FullDisk(bool) {}
#else
  explicit FullDisk(bool on) : on_(on) {
    if (!on_) return;
    getrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved_;
    small.rlim_cur = 16;
    setrlimit(RLIMIT_FSIZE, &small);
  }
  ~FullDisk() {
    if (on_) setrlimit(RLIMIT_FSIZE, &saved_);
  }

 private:
  bool on_;
  rlimit saved_{};
#endif
};

}  // namespace

TEST(CleanCounts, CountOnlyWhatWasRemoved) {
  const CCookieFilter filter(L"*.tracker.com\n");
  for (const CountCase& c : kCountCases) {
    SCOPED_TRACE(c.name);
#ifdef _WIN32
    if (c.disk_full) continue;  // no per-process file size limit to stand for a full disk
#endif
    TempProfile profile;
    c.make(profile);
    const TreeListing before = ListTree(profile.root());
    int removed = 0;
    {
      [[maybe_unused]] const FullDisk full(c.disk_full);
      removed = c.clean(filter);
    }
    EXPECT_EQ(removed, c.removed);
    const std::vector<std::string> changed = ChangedPaths(before, ListTree(profile.root()));
    EXPECT_EQ(changed.size(), c.changed.size());
    EXPECT_EQ(OutsideOf(changed, c.changed), std::vector<std::string>{});
  }
}
