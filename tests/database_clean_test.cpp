// What a clean of the database stores leaves on disk, and what they do with a
// database a running browser holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>

#include "platform/platform.h"
#include "scan/browsers.h"
#include "sqlite_support.h"
#include "stores/chromium/chromium.h"
#include "stores/firefox/firefox.h"
#include "stores/stores.h"
#include "support/temp_tree.h"

namespace {

const CCookieFilter kFilter(L"*.tracker.example\n");

// A database kind: its table definitions, an INSERT of one row taking its site (?1),
// name (?2) and value (?3), a clean of one database, and its store entry.
struct Kind {
  const char* schema;
  const char* insert;
  const char* evil_site;
  const char* kept_site;
  int (*clean_database)(const std::wstring& path);
  int (*run_store)(bool clean, HeldStores* held);
};

const Kind kChromium{
    kChromiumSchemaV24,
    "INSERT INTO cookies VALUES(13300000000000000, ?1, '', ?2, ?3, X'', '/', 13500000000000000, "
    "1, 0, 13300000000000000, 1, 1, 1, 0, 2, 443, 13300000000000000, 0, 0)",
    ".tracker.example", "news.example",
    [](const std::wstring& path) {
      CChromiumCookieArray scratch;
      return ProcessChromiumCookieDatabase(path, 0, L"Default", kFilter, scratch, true);
    },
    [](bool clean, HeldStores* held) {
      CChromiumCookieArray items;
      const BrowserInfo& edge = BrowserOf(Browser::kEdge);
      return ProcessChromiumCookies({static_cast<int>(edge.id), edge.chromium_user_data}, kFilter,
                                    items, clean, held);
    }};
const Kind kFirefoxCookies{
    kFirefoxCookieSchemaV17,
    "INSERT INTO moz_cookies (host, name, value, path, expiry) VALUES (?1, ?2, ?3, '/', 1900000000000)",
    ".tracker.example", "news.example",
    [](const std::wstring& path) {
      CFirefoxCookieArray scratch;
      return ProcessFirefoxCookieDatabase(path, kFilter, scratch, true);
    },
    [](bool clean, HeldStores* held) {
      CFirefoxCookieArray items;
      return ProcessFirefoxCookies(kFilter, items, clean, held);
    }};
const Kind kFirefoxStorage{
    kWebappsstoreSchemaCurrent, "INSERT INTO webappsstore2 VALUES ('', ?1, ?1, ?2, ?3)",
    "elpmaxe.rekcart.:https:443", "elpmaxe.swen.:https:443",
    [](const std::wstring& path) {
      CFirefoxUserdataArray scratch;
      return ProcessFirefoxStorageDatabase(path, kFilter, scratch, true);
    },
    [](bool clean, HeldStores* held) {
      CFirefoxUserdataArray items;
      return ProcessFirefoxUserdata(kFilter, items, clean, held);
    }};

// Writes the database at `relative` in `tree`. With `keep_wal`, the rows go in by a
// connection that leaves them in the -wal file.
void Build(const TempTree& tree, const std::string& relative, const Kind& kind,
           const std::string& journal, const std::vector<std::vector<Cell>>& rows,
           bool keep_wal = false) {
  tree.Write(relative, "");
  {
    TestDb db(tree.Path(relative));
    db.Exec(journal + kind.schema);
  }
  TestDb db(tree.Path(relative));
  if (keep_wal) db.KeepWalOnClose();
  for (const std::vector<Cell>& row : rows) db.Run(kind.insert, row);
}

// ---- No remnants

constexpr const char* kEvilValues[] = {"val-ZQ83xQm1vR", "val-ZQ83xTk7pW"};
constexpr char kKeptValue[] = "val-KP27nLw4sD";

struct RemnantCase {
  const char* what;
  const Kind* kind;
  const char* journal;
  bool keep_wal;  // the rows lie in the -wal file only
};

const RemnantCase kRemnantCases[] = {
    {"Chromium, rollback journal", &kChromium, "", false},
    {"Chromium, WAL", &kChromium, "PRAGMA journal_mode=WAL;", true},
    {"Firefox cookies, WAL", &kFirefoxCookies, "", true},
    {"Firefox page storage, WAL", &kFirefoxStorage, "", true},
};

TEST(NoRemnants, DeletedValuesAreInNoFileOfTheProfileAndKeptOnesRemain) {
  for (const RemnantCase& c : kRemnantCases) {
    SCOPED_TRACE(c.what);
    TempTree tree;
    Build(tree, "profile/store.sqlite", *c.kind, c.journal,
          {{c.kind->evil_site, "a", kEvilValues[0]},
           {c.kind->kept_site, "b", kKeptValue},
           {c.kind->evil_site, "c", kEvilValues[1]}},
          c.keep_wal);
    if (c.keep_wal) {
      ASSERT_NE(tree.Read("profile/store.sqlite-wal").find(kEvilValues[1]), std::string::npos);
    }
    EXPECT_EQ(c.kind->clean_database(tree.Path("profile/store.sqlite")), 2);
    bool kept = false;
    for (const auto& [name, bytes] : Snapshot(tree, "profile")) {
      for (const char* value : kEvilValues) {
        EXPECT_EQ(bytes.find(value), std::string::npos) << value << " in " << name;
      }
      kept = kept || bytes.find(kKeptValue) != std::string::npos;
    }
    EXPECT_TRUE(kept);
  }
}

// ---- Held databases

constexpr char kFirefoxIni[] = "[Profile0]\nName=default\nIsRelative=1\nPath=Profiles/x.default\n";

struct HeldCase {
  const char* what;
  const Kind* kind;
  const char* database;  // below the Windows profile
  const char* holder;    // what the other process holds it with; nullptr: nobody
  const char* profile;   // the profile a held database is reported with
};

constexpr char kFirefoxProfile[] = "AppData/Roaming/Mozilla/Firefox/Profiles/x.default/";

const HeldCase kHeldCases[] = {
    {"Chromium Cookies held by its browser", &kChromium,
     "AppData/Local/Microsoft/Edge/User Data/Default/Network/Cookies", kHeldByChromium, "Default"},
    {"Firefox cookies.sqlite held by Firefox", &kFirefoxCookies,
     "AppData/Roaming/Mozilla/Firefox/Profiles/x.default/cookies.sqlite", kHeldByFirefox,
     "x.default"},
    {"Firefox page storage held by Firefox", &kFirefoxStorage,
     "AppData/Roaming/Mozilla/Firefox/Profiles/x.default/webappsstore.sqlite", kHeldByFirefox,
     "x.default"},
    {"A stale parent.lock of a Firefox that is gone", &kFirefoxCookies,
     "AppData/Roaming/Mozilla/Firefox/Profiles/x.default/cookies.sqlite", nullptr, nullptr},
};

std::wstring Backslashed(std::wstring path) {
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return path;
}

TEST(HeldDatabase, IsReportedWithItsProfileChangesNothingAndNeverWaits) {
  for (const HeldCase& c : kHeldCases) {
    SCOPED_TRACE(c.what);
    TempProfile profile;
    profile.Write("AppData/Roaming/Mozilla/Firefox/profiles.ini", kFirefoxIni);
    profile.Write(std::string(kFirefoxProfile) + "parent.lock", "");
    Build(profile, c.database, *c.kind, "", {{c.kind->evil_site, "a", kEvilValues[0]}});
    std::optional<LockHolder> lock;
    if (c.holder != nullptr) {
      lock.emplace(profile.Path(c.database), c.holder, profile);
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
      EXPECT_EQ(Backslashed(held[0].path), Backslashed(profile.Path(c.database)));
      EXPECT_EQ(Snapshot(profile, "AppData"), before);
    }
  }
}

}  // namespace
