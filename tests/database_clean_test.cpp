// What a clean of the database stores leaves on disk, and what they do with a
// database a running browser holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>

#include "platform/platform.h"
#include "scan/browsers.h"
#include "fuzz_seed.h"
#include "sqlite_support.h"
#include "stores/chrome/chrome.h"
#include "stores/chromium/chromium.h"
#include "stores/firefox/firefox.h"
#include "stores/stores.h"
#include "support/temp_tree.h"

namespace {

const CCookieFilter kFilter(L"*.tracker.example\n");

// A database kind: its table definitions, an INSERT of one row taking its site (?1),
// name (?2) and value (?3), its place below the Windows profile, and its store.
struct Kind {
  const char* schema;
  const char* insert;
  const char* evil_site;
  const char* kept_site;
  std::string database;
  int (*run_store)(bool clean, HeldStores* held);
};

constexpr char kFirefoxIni[] = "[Profile0]\nName=default\nIsRelative=1\nPath=Profiles/x.default\n";
const std::string kFirefoxProfile = "AppData/Roaming/Mozilla/Firefox/Profiles/x.default/";

const Kind kChromium{
    kChromiumSchemaV24,
    "INSERT INTO cookies VALUES(13300000000000000, ?1, '', ?2, ?3, X'', '/', 13500000000000000, "
    "1, 0, 13300000000000000, 1, 1, 1, 0, 2, 443, 13300000000000000, 0, 0)",
    ".tracker.example", "news.example", "AppData/Local/Microsoft/Edge/User Data/Default/Network/Cookies",
    [](bool clean, HeldStores* held) {
      CChromiumCookieArray items;
      const BrowserInfo& edge = BrowserOf(Browser::kEdge);
      return ProcessChromiumCookies({static_cast<int>(edge.id), edge.chromium_user_data}, kFilter,
                                    items, clean, held);
    }};
const Kind kFirefoxCookies{
    kFirefoxCookieSchemaV17,
    "INSERT INTO moz_cookies (host, name, value, path, expiry) VALUES (?1, ?2, ?3, '/', 1900000000000)",
    ".tracker.example", "news.example", kFirefoxProfile + "cookies.sqlite",
    [](bool clean, HeldStores* held) {
      CFirefoxCookieArray items;
      return ProcessFirefoxCookies(kFilter, items, clean, held);
    }};
const Kind kFirefoxStorage{
    kWebappsstoreSchemaCurrent, "INSERT INTO webappsstore2 VALUES ('', ?1, ?1, ?2, ?3)",
    "elpmaxe.rekcart.:https:443", "elpmaxe.swen.:https:443", kFirefoxProfile + "webappsstore.sqlite",
    [](bool clean, HeldStores* held) {
      CFirefoxUserdataArray items;
      return ProcessFirefoxUserdata(kFilter, items, clean, held);
    }};

// A Windows profile with Firefox's profile list, for the kinds above.
struct Profile : TempProfile {
  Profile() { Write("AppData/Roaming/Mozilla/Firefox/profiles.ini", kFirefoxIni); }
};

// Writes the kind's database in `tree` with `rows`. With `keep_wal`, the rows go in
// by a connection that leaves them in the -wal file.
void Build(const TempTree& tree, const Kind& kind, const std::string& journal,
           const std::vector<std::vector<Cell>>& rows, bool keep_wal = false) {
  tree.Write(kind.database, "");
  TestDb(tree.Path(kind.database)).Exec(journal + kind.schema);
  TestDb db(tree.Path(kind.database));
  if (keep_wal) db.KeepWalOnClose();
  for (const std::vector<Cell>& row : rows) db.Run(kind.insert, row);
}

constexpr const char* kEvilValues[] = {"val-ZQ83xQm1vR", "val-ZQ83xTk7pW"};
constexpr char kKeptValue[] = "val-KP27nLw4sD";

// ---- Held databases

std::wstring Backslashed(std::wstring path) {
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return path;
}

TEST(HeldDatabase, IsReportedWithItsProfileChangesNothingAndNeverWaits) {
  const struct {
    const char* what;
    const Kind* kind;
    const char* holder;   // what the other process holds it with; nullptr: nobody
    const char* profile;  // the profile a held database is reported with
  } cases[] = {
      {"Chromium Cookies held by its browser", &kChromium, kHeldByChromium, "Default"},
      {"Firefox cookies.sqlite held by Firefox", &kFirefoxCookies, kHeldByFirefox, "x.default"},
      {"Firefox page storage held by Firefox", &kFirefoxStorage, kHeldByFirefox, "x.default"},
      {"A stale parent.lock of a Firefox that is gone", &kFirefoxCookies, nullptr, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Profile profile;
    profile.Write(kFirefoxProfile + "parent.lock", "");
    Build(profile, *c.kind, "", {{c.kind->evil_site, "a", kEvilValues[0]}});
    std::optional<LockHolder> lock;
    if (c.holder != nullptr) {
      lock.emplace(profile.Path(c.kind->database), c.holder, profile);
      ASSERT_TRUE(lock->holding());
    }
    const auto before = Snapshot(profile, "AppData");
    for (const bool clean : {false, true}) {
      HeldStores held;
      const auto start = std::chrono::steady_clock::now();
      EXPECT_EQ(c.kind->run_store(clean, &held), c.holder != nullptr ? 0 : 1) << clean;
      EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
      ASSERT_EQ(held.size(), c.holder != nullptr ? 1u : 0u);
      if (held.empty()) continue;
      EXPECT_EQ(held[0].profile, platform::WideFromUtf8(c.profile));
      EXPECT_EQ(Backslashed(held[0].path), Backslashed(profile.Path(c.kind->database)));
      EXPECT_EQ(Snapshot(profile, "AppData"), before);
    }
  }
}

// ---- Crafted schemas

const CCookieFilter kCraftedFilter(L"*.doubleclick.net\n*.tracker.example\n*.tracker.com\n");

constexpr char kChromeCookies[] = "AppData/Local/Google/Chrome/User Data/Default/Cookies";

// A clean of every database of a store, with the filter above.
template <typename Array, typename... Rest>
std::function<int()> Clean(int (*store)(const CCookieFilter&, Array&, bool, Rest...)) {
  return [store] {
    Array scratch;
    return store(kCraftedFilter, scratch, true, Rest{}...);
  };
}

struct CraftedCase {
  const char* what;
  const char* seed;      // its name among the database fuzzer's seeds
  std::string database;  // below the Windows profile
  std::string sql;       // builds it
  std::function<int()> clean;
  const char* kept_query;  // what must be left of it
  std::vector<std::string> kept;
  int removed;
};

TEST(CraftedSchema, ExactlyTheListedRowsGoAndTheCountIsWhatWent) {
  const std::string chrome_v12_rows =
      std::string(kChromeSchemaV12) +
      "INSERT INTO cookies (creation_utc, host_key, name, value, path, expires_utc, is_secure, is_httponly, "
      "last_access_utc) VALUES (1, '.doubleclick.net', 'a', 'evil', '/', 0, 0, 0, 0), (2, 'news.example', "
      "'b', 'kept', '/', 0, 0, 0, 0), (3, 'x.tracker.example', 'c', 'evil', '/', 0, 0, 0, 0), (4, "
      "'shop.example', 'd', 'kept', '/', 0, 0, 0, 0);";
  const std::string firefox_rows =
      std::string(kFirefoxCookieSchema) + ";INSERT INTO moz_cookies (name, value, host, path, expiry) VALUES "
      "('a', 'evil', '.tracker.example', '/', 0), ('b', 'kept', 'news.example', '/', 0);";
  const std::string& ff = kFirefoxProfile;
  const CraftedCase cases[] = {
      {"Chrome host_key declared COLLATE NOCASE", "chrome_nocase", kChromeCookies,
       "CREATE TABLE cookies(creation_utc INTEGER, host_key TEXT COLLATE NOCASE, name TEXT, value TEXT, path "
       "TEXT, expires_utc INTEGER); INSERT INTO cookies VALUES (1, '.doubleclick.net', 'id', 'evil', '/', 0), "
       "(2, '.DoubleClick.NET', 'id', 'kept', '/', 0);",
       Clean(ProcessChromeCookies), "SELECT host_key, value FROM cookies", {".DoubleClick.NET|kept"}, 1},
      {"Chrome Cookies WITHOUT ROWID, keyed case-blind", "chrome_without_rowid", kChromeCookies,
       "CREATE TABLE cookies(creation_utc INTEGER, host_key TEXT COLLATE NOCASE, name TEXT, "
       "value TEXT, path TEXT COLLATE RTRIM, expires_utc INTEGER, PRIMARY KEY (path, host_key, name)) "
       "WITHOUT ROWID; INSERT INTO cookies VALUES (1, '.doubleclick.net', 'a', 'evil', '/', 0), "
       "(2, '.DoubleClick.NET', 'b', 'kept', '/ ', 0), (3, 'news.example', 'a', 'kept', '/', 0);",
       Clean(ProcessChromeCookies), "SELECT host_key, value FROM cookies ORDER BY creation_utc",
       {".DoubleClick.NET|kept", "news.example|kept"}, 1},
      {"Chrome Cookies whose trigger deletes every row after a DELETE", "chrome_wipe_trigger", kChromeCookies,
       chrome_v12_rows + "CREATE TRIGGER wipe AFTER DELETE ON cookies BEGIN DELETE FROM cookies; END;",
       Clean(ProcessChromeCookies), "SELECT host_key, value FROM cookies ORDER BY creation_utc",
       {"news.example|kept", "shop.example|kept"}, 2},
      {"Firefox moz_cookies.id that is no key: an evil and a harmless row share an id",
       "firefox_shared_id", ff + "cookies.sqlite",
       "PRAGMA user_version=10; CREATE TABLE moz_cookies (id INTEGER, name TEXT, value TEXT, host TEXT, "
       "path TEXT, expiry INTEGER); INSERT INTO moz_cookies VALUES (1, 'a', 'evil', '.tracker.example', "
       "'/', 0), (1, 'b', 'kept', 'news.example', '/', 0);",
       Clean(ProcessFirefoxCookies), "SELECT host, value FROM moz_cookies", {"news.example|kept"}, 1},
      {"Firefox cookies whose trigger puts each deleted row back under another name",
       "firefox_reinsert_trigger", ff + "cookies.sqlite",
       firefox_rows + "CREATE TRIGGER back AFTER DELETE ON moz_cookies BEGIN INSERT INTO moz_cookies "
       "(name, value, host, path, expiry) VALUES ('again', old.value, old.host, old.path, 0); END;",
       Clean(ProcessFirefoxCookies), "SELECT host, value FROM moz_cookies", {"news.example|kept"}, 1},
      {"webappsstore2 with COLLATE NOCASE and RTRIM columns", "webappsstore_collations", ff + "webappsstore.sqlite",
       "CREATE TABLE webappsstore2 (originAttributes TEXT, originKey TEXT, scope TEXT COLLATE NOCASE, key TEXT "
       "COLLATE RTRIM, value TEXT); INSERT INTO webappsstore2 VALUES ('', 'x', 'elpmaxe.rekcart.:https:443', "
       "'k', 'evil'), ('', 'y', 'ELPMAXE.REKCART.:https:443', 'k ', 'kept');",
       Clean(ProcessFirefoxUserdata), "SELECT scope, value FROM webappsstore2",
       {"ELPMAXE.REKCART.:https:443|kept"}, 1},
      {"Safari Databases.db whose guid is not unique", "safari_shared_guid",
       "AppData/Local/Apple Computer/Safari/Databases/Databases.db",
       "CREATE TABLE Databases (guid INTEGER, origin TEXT, name TEXT, displayName TEXT, "
       "estimatedSize INTEGER, path TEXT); INSERT INTO Databases VALUES "
       "(1, 'http_www.tracker.com_0', 'n', 'd', 0, '1.db'), (1, 'http_news.example_0', 'n', 'd', 0, '2.db');",
       Clean(ProcessSafariUserdata), "SELECT origin FROM Databases", {"http_news.example_0"}, 1},
  };
  for (const CraftedCase& c : cases) {
    SCOPED_TRACE(c.what);
    Profile profile;
    profile.MakeDir(c.database.substr(0, c.database.rfind('/')));
    TestDb(profile.Path(c.database)).Exec(c.sql);
    SaveSeed("fuzz_database", std::string(c.seed) + ".sqlite", profile.Read(c.database));
    EXPECT_EQ(c.clean(), c.removed);
    TestDb db(profile.Path(c.database));
    EXPECT_EQ(db.Rows(c.kept_query), c.kept);
  }
}

// ---- A scan writes nothing; a clean leaves no remnants

// Leaves a hot journal beside the rollback-journal database at `relative`: copies of
// the database and of its journal taken while a transaction that deletes every row
// of `table` is under way and has spilled pages into the database, as a program
// that stopped there leaves them.
void LeaveHotJournal(const TempTree& tree, const std::string& relative, const std::string& table) {
  namespace fs = std::filesystem;
  {
    TestDb writer(tree.Path(relative));
    writer.Exec("PRAGMA cache_size=1; BEGIN; DELETE FROM " + table +
                "; CREATE TABLE filler(x); INSERT INTO filler SELECT zeroblob(3000) FROM "
                "(WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r LIMIT 200) "
                "SELECT n FROM r);");
    fs::copy_file(tree.Native(relative), tree.Native(relative + ".copy"));
    fs::copy_file(tree.Native(relative + "-journal"), tree.Native(relative + ".copy-journal"));
    writer.Exec("ROLLBACK;");
  }
  fs::rename(tree.Native(relative + ".copy"), tree.Native(relative));
  fs::rename(tree.Native(relative + ".copy-journal"), tree.Native(relative + "-journal"));
}

// Every file below `relative` but SQLite's -shm index, which readers may write.
std::map<std::string, std::string> WithoutShm(const TempTree& tree, const std::string& relative) {
  std::map<std::string, std::string> files = Snapshot(tree, relative);
  std::erase_if(files, [](const auto& file) { return file.first.ends_with("-shm"); });
  return files;
}

// A scan writes nothing, a clean recovers the database first, and no value it
// deletes is left in any file while the kept one is.
TEST(ScanWritesNothingCleanLeavesNoRemnants, EveryFileButTheShmIndexStaysByteForByte) {
  constexpr char kWal[] = "PRAGMA journal_mode=WAL;";
  const struct {
    const char* what;
    const Kind* kind;
    const char* journal;
    bool keep_wal;          // the rows lie in the -wal file only
    const char* hot_table;  // a hot journal of a DELETE on this table; nullptr: none
  } cases[] = {
      {"Chromium, rollback journal", &kChromium, "", false, nullptr},
      {"Chromium, rows in the -wal file", &kChromium, kWal, true, nullptr},
      {"Chromium, WAL without a -wal file", &kChromium, kWal, false, nullptr},
      {"Firefox cookies, rows in the -wal file", &kFirefoxCookies, "", true, nullptr},
      {"Firefox page storage, rows in the -wal file", &kFirefoxStorage, "", true, nullptr},
      {"Firefox page storage, WAL without a -wal file", &kFirefoxStorage, "", false, nullptr},
      {"Chromium with a hot journal", &kChromium, "", false, "cookies"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Profile profile;
    const std::string& database = c.kind->database;
    Build(profile, *c.kind, c.journal,
          {{c.kind->evil_site, "a", kEvilValues[0]}, {c.kind->kept_site, "b", kKeptValue},
           {c.kind->evil_site, "c", kEvilValues[1]}},
          c.keep_wal);
    if (c.keep_wal) {
      ASSERT_NE(profile.Read(database + "-wal").find(kEvilValues[1]), std::string::npos);
    }
    if (c.hot_table != nullptr) LeaveHotJournal(profile, database, c.hot_table);
    const auto before = WithoutShm(profile, "AppData");
    HeldStores held;
    EXPECT_EQ(c.kind->run_store(false, &held), c.hot_table != nullptr ? 0 : 2);
    EXPECT_EQ(WithoutShm(profile, "AppData"), before);
    EXPECT_EQ(held.empty() ? HeldReason::kNone : held[0].reason,
              c.hot_table != nullptr ? HeldReason::kNeedsRecovery : HeldReason::kNone);

    EXPECT_EQ(c.kind->run_store(true, &held), 2);
    EXPECT_EQ(c.kind->run_store(false, nullptr), 0);
    bool kept = false;
    for (const auto& [name, bytes] : Snapshot(profile, "AppData")) {
      for (const char* value : kEvilValues) {
        EXPECT_EQ(bytes.find(value), std::string::npos) << value << " in " << name;
      }
      kept = kept || bytes.find(kKeptValue) != std::string::npos;
    }
    EXPECT_TRUE(kept);
  }
}

}  // namespace
