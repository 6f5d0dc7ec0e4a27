// What a clean of the database stores leaves on disk, and what they do with a database a running browser holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>

#include "platform/platform.h"
#include "scan/browsers.h"
#include "fuzz_seed.h"
#include "sqlite_support.h"
#include "stores/chrome/chrome.h"
#include "stores/chromium/chromium.h"
#include "stores/firefox/firefox.h"
#include "stores/stores.h"

namespace {

const CCookieFilter kFilter(L"*.doubleclick.net\n*.tracker.example\n*.tracker.com\n");
const std::string kFirefoxProfile = "AppData/Roaming/Mozilla/Firefox/Profiles/x.default/";
constexpr const char* kEvilValues[] = {"val-ZQ83xQm1vR", "val-ZQ83xTk7pW"};
constexpr char kKeptValue[] = "val-KP27nLw4sD";
constexpr char kIniPath[] = "AppData/Roaming/Mozilla/Firefox/profiles.ini";
constexpr char kIni[] = "[Profile0]\nName=default\nIsRelative=1\nPath=Profiles/x.default\n";

// A database kind: its tables, an INSERT of one row taking its site (?1), name (?2)
// and value (?3), its place below the Windows profile, and a run of its store.
struct Kind {
  const char* schema;
  const char* insert;
  std::string database;
  int (*run_store)(bool clean, HeldStores* held);
};
const Kind kChromium{
    kChromiumSchemaV24,
    "INSERT INTO cookies VALUES(13300000000000000, ?1, '', ?2, ?3, X'', '/', 13500000000000000, "
    "1, 0, 13300000000000000, 1, 1, 1, 0, 2, 443, 13300000000000000, 0, 0)",
    "AppData/Local/Microsoft/Edge/User Data/Default/Network/Cookies", [](bool clean, HeldStores* held) {
      CChromiumCookieArray items;
      const BrowserInfo& edge = BrowserOf(Browser::kEdge);
      return ProcessChromiumCookies({static_cast<int>(edge.id), edge.chromium_user_data}, kFilter,
                                    items, clean, held);
    }};
const Kind kFirefox{
    kFirefoxCookieSchemaV17,
    "INSERT INTO moz_cookies (host, name, value, path, expiry) VALUES (?1, ?2, ?3, '/', 1900000000000)",
    kFirefoxProfile + "cookies.sqlite", [](bool clean, HeldStores* held) {
      CFirefoxCookieArray items;
      return ProcessFirefoxCookies(kFilter, items, clean, held);
    }};

// A Windows profile with Firefox's profile list and a stale parent.lock, holding the
// kind's database with an evil row for each of kEvilValues around a kept one; with
// `keep_wal`, the rows go in by a connection that leaves them in the -wal file.
struct Profile : TempProfile {
  explicit Profile(const Kind& kind, bool keep_wal = false) {
    Write(kIniPath, kIni);
    Write(kFirefoxProfile + "parent.lock", "");
    Write(kind.database, "");
    TestDb(Path(kind.database)).Exec(kind.schema);
    TestDb db(Path(kind.database));
    if (keep_wal) db.KeepWalOnClose();
    for (const char* row : {kEvilValues[0], kKeptValue, kEvilValues[1]}) {
      db.Run(kind.insert, {row == kKeptValue ? "news.example" : ".tracker.example", row, row});
    }
  }
};

TEST(HeldDatabase, IsReportedWithItsProfileChangesNothingAndNeverWaits) {
  const struct {
    const Kind* kind;
    const char* holder;   // what another process holds it with
    const char* profile;  // the profile it is reported with
  } cases[] = {{&kChromium, kHeldByChromium, "Default"}, {&kFirefox, kHeldByFirefox, "x.default"}};
  const auto slashed = [](std::wstring path) { return std::ranges::replace(path, L'\\', L'/'), path; };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.holder);
    Profile profile(*c.kind);
    LockHolder lock(profile.Path(c.kind->database), c.holder, profile);
    ASSERT_TRUE(lock.holding());
    const auto before = Snapshot(profile, "AppData");
    for (const bool clean : {false, true}) {
      HeldStores held;
      const auto start = std::chrono::steady_clock::now();
      EXPECT_EQ(c.kind->run_store(clean, &held), 0) << clean;
      EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
      ASSERT_EQ(held.size(), 1u);
      EXPECT_EQ(held[0].profile, platform::WideFromUtf8(c.profile));
      EXPECT_EQ(slashed(held[0].path), slashed(profile.Path(c.kind->database)));
      EXPECT_EQ(Snapshot(profile, "AppData"), before);
    }
  }
}

// A clean of every database of a store.
template <typename Array, typename... Rest>
std::function<int()> Clean(int (*store)(const CCookieFilter&, Array&, bool, Rest...)) {
  return [store] {
    Array scratch;
    return store(kFilter, scratch, true, Rest{}...);
  };
}

// Crafted schemas: exactly the evil rows go, and the count is what went.
TEST(CraftedSchema, ExactlyTheListedRowsGoAndTheCountIsWhatWent) {
  const std::string chrome = "AppData/Local/Google/Chrome/User Data/Default/Cookies", nocase =
      "CREATE TABLE cookies(creation_utc, host_key TEXT COLLATE NOCASE, name, value, path TEXT COLLATE RTRIM, "
      "expires_utc", rows = "INSERT INTO cookies VALUES (1, '.doubleclick.net', 'a', 'evil', '/', 0), ";
  const struct {
    const char* seed;                          // its name among the database fuzzer's seeds
    std::string database, sql;                 // below the Windows profile; what builds it
    std::function<int()> clean;                // a clean of its store
    const char* kept_query;                    // what must be left of it: kept
    std::vector<std::string> kept;
    int removed;
  } cases[] = {
      {"chrome_nocase", chrome, nocase + ");" + rows + "(2, '.DoubleClick.NET', 'a', 'kept', '/', 0);",
       Clean(ProcessChromeCookies), "SELECT host_key, value FROM cookies", {".DoubleClick.NET|kept"}, 1},
      {"chrome_without_rowid", chrome, nocase + ", PRIMARY KEY (path, host_key, name)) WITHOUT ROWID;" + rows +
       "(2, '.DoubleClick.NET', 'b', 'kept', '/ ', 0), (3, 'news.example', 'a', 'kept', '/', 0);",
       Clean(ProcessChromeCookies), "SELECT host_key, value FROM cookies ORDER BY creation_utc",
       {".DoubleClick.NET|kept", "news.example|kept"}, 1},
      {"chrome_wipe_trigger", chrome, nocase + ");" + rows + "(2, 'news.example', 'b', 'kept', '/', 0), (3, "
       "'x.tracker.example', 'c', 'evil', '/', 0); CREATE TRIGGER wipe AFTER DELETE ON cookies BEGIN DELETE FROM "
       "cookies; END;", Clean(ProcessChromeCookies), "SELECT host_key, value FROM cookies", {"news.example|kept"}, 2},
      {"firefox_shared_id", kFirefoxProfile + "cookies.sqlite", "PRAGMA user_version=10; CREATE TABLE moz_cookies "
       "(id INTEGER, name, value, host, path, expiry); INSERT INTO moz_cookies VALUES (1, 'a', 'evil', "
       "'.tracker.example', '/', 0), (1, 'b', 'kept', 'news.example', '/', 0);",
       Clean(ProcessFirefoxCookies), "SELECT host, value FROM moz_cookies", {"news.example|kept"}, 1},
      {"safari_shared_guid", "AppData/Local/Apple Computer/Safari/Databases/Databases.db", "CREATE TABLE Databases "
       "(guid INTEGER, origin, name, displayName, estimatedSize, path); INSERT INTO Databases VALUES "
       "(1, 'http_www.tracker.com_0', 'n', 'd', 0, '1.db'), (1, 'http_news.example_0', 'n', 'd', 0, '2.db');",
       Clean(ProcessSafariUserdata), "SELECT origin FROM Databases", {"http_news.example_0"}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.seed);
    TempProfile profile;
    profile.Write(kIniPath, kIni);
    profile.Write(c.database, "");
    TestDb(profile.Path(c.database)).Exec(c.sql);
    SaveSeed("fuzz_database", std::string(c.seed) + ".sqlite", profile.Read(c.database));
    EXPECT_EQ(c.clean(), c.removed);
    EXPECT_EQ(TestDb(profile.Path(c.database)).Rows(c.kept_query), c.kept);
  }
}

// Leaves a hot journal beside the rollback-journal Cookies database at `relative`: it
// and its journal as they are mid-way through a DELETE of every row that has spilled
// pages into the database, as a program that stopped there leaves them.
void LeaveHotJournal(const TempTree& tree, const std::string& relative) {
  std::string database, journal;
  {
    TestDb writer(tree.Path(relative));
    writer.Exec("PRAGMA cache_size=1; BEGIN; DELETE FROM cookies; CREATE TABLE filler(x); INSERT INTO filler "
                "SELECT zeroblob(3000) FROM (WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r "
                "LIMIT 200) SELECT n FROM r);");
    database = tree.Read(relative);
    journal = tree.Read(relative + "-journal");
    writer.Exec("ROLLBACK;");
  }
  tree.Write(relative, database);
  tree.Write(relative + "-journal", journal);
}

// Every file of the profile but SQLite's -shm index, which readers may write.
std::map<std::string, std::string> WithoutShm(const TempTree& tree) {
  std::map<std::string, std::string> files = Snapshot(tree, "AppData");
  std::erase_if(files, [](const auto& file) { return file.first.ends_with("-shm"); });
  return files;
}

// A scan writes nothing, a clean recovers the database first, and no value it
// deletes is left in any file while the kept one is. Firefox's parent.lock is stale.
TEST(ScanWritesNothingCleanLeavesNoRemnants, EveryFileButTheShmIndexStaysByteForByte) {
  const struct {
    const char* what;
    const Kind* kind;
    bool keep_wal, hot;  // the rows lie in the -wal file only; a hot journal of a DELETE of every row
  } cases[] = {
      {"Chromium, rollback journal", &kChromium, false, false},
      {"Firefox, rows in the -wal file", &kFirefox, true, false},
      {"Chromium with a hot journal", &kChromium, false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Profile profile(*c.kind, c.keep_wal);
    ASSERT_TRUE(!c.keep_wal || profile.Read(c.kind->database + "-wal").find(kEvilValues[1]) != std::string::npos);
    if (c.hot) LeaveHotJournal(profile, c.kind->database);
    const auto before = WithoutShm(profile);
    HeldStores held;
    EXPECT_EQ(c.kind->run_store(false, &held), c.hot ? 0 : 2);
    EXPECT_EQ(WithoutShm(profile), before);
    EXPECT_EQ(held.empty() ? HeldReason::kNone : held[0].reason,
              c.hot ? HeldReason::kNeedsRecovery : HeldReason::kNone);
    EXPECT_EQ(c.kind->run_store(true, &held), 2);
    bool kept = false;
    for (const auto& [name, bytes] : Snapshot(profile, "AppData")) {
      for (const char* value : kEvilValues) EXPECT_EQ(bytes.find(value), std::string::npos) << value << name;
      kept = kept || bytes.find(kKeptValue) != std::string::npos;
    }
    EXPECT_TRUE(kept);
  }
}

}  // namespace
