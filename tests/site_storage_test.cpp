// The stores that remove a site's storage folders whole: the Chromium family's
// IndexedDB and Firefox's per-site storage. What a scan shows (it writes nothing),
// and that a clean removes exactly the evil sites' folders and rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

#include "platform/platform.h"
#include "scan/browsers.h"
#include "sqlite_support.h"
#include "stores/chromium/indexeddb.h"
#include "stores/firefox/firefox_site_storage.h"
#include "support/temp_tree.h"

namespace {

const CCookieFilter kFilter(L"*.tracker.example\n");

// Expects the items, each as "name|display site|value|expires", to be `expected` in
// any order.
template <typename Array>
void ExpectShown(const Array& items, std::vector<std::string> expected) {
  std::vector<std::string> shown;
  for (const CCookie& item : items) {
    shown.push_back(platform::Utf8FromWide(item.GetName() + L"|" + item.GetDisplaySite() + L"|" +
                                           item.GetValue() + L"|" + item.GetExpires()));
  }
  std::sort(shown.begin(), shown.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(shown, expected);
}

// `before` without what lies below the folders `removed` (relative, ending in "/").
std::map<std::string, std::string> Without(std::map<std::string, std::string> before,
                                           const std::vector<std::string>& removed) {
  std::erase_if(before, [&removed](const auto& entry) {
    return std::any_of(removed.begin(), removed.end(), [&entry](const std::string& folder) {
      return entry.first.compare(0, folder.size(), folder) == 0;
    });
  });
  return before;
}

// The files of a profile, those of the lock helper (LockHolder) left out.
std::map<std::string, std::string> ProfileFiles(const TempTree& tree) {
  auto files = Snapshot(tree);
  std::erase_if(files, [](const auto& entry) { return entry.first.rfind("lock-", 0) == 0; });
  return files;
}

// ---- The Chromium family's IndexedDB

const std::string kEdgeIndexedDB = "AppData/Local/Microsoft/Edge/User Data/Default/IndexedDB/";

struct IndexedDBCase {
  const char* what;
  // Folders of IndexedDB, each with one file; "link:" makes a link to a folder
  // outside instead.
  std::vector<std::string> folders;
  std::vector<std::string> found;    // as Shown()
  std::vector<std::string> removed;  // folders the clean takes
  bool posix_only = false;           // names Windows cannot create
};

const std::string kWww = "https_www.tracker.example_0.indexeddb.leveldb",
                  kWwwBlob = "https_www.tracker.example_0.indexeddb.blob",
                  kAds = "http_ads.tracker.example_8080.indexeddb.leveldb",
                  kCdnBlob = "https_cdn.tracker.example_0.indexeddb.blob";

const IndexedDBCase kIndexedDBCases[] = {
    {"an evil site with its blob folder; a harmless site",
     {kWww, kWwwBlob, "https_news.example_0.indexeddb.leveldb"},
     {kWww + "|www.tracker.example (Default)|2 files|Unknown"}, {kWww, kWwwBlob}},
    {"a port of its own, and a blob folder alone", {kAds, kCdnBlob},
     {kAds + "|ads.tracker.example (Default)|1 file|Unknown", kCdnBlob + "|cdn.tracker.example (Default)|1 file|Unknown"},
     {kAds, kCdnBlob}},
    {"names of no site", {"https_www.tracker.example_x.indexeddb.leveldb", "file__0.indexeddb.leveldb",
     kWww + ".old", "www.tracker.example"}, {}, {}},
    {"a site folder that is a link", {"link:" + kWww}, {}, {}},
    {"a name Windows cannot hold", {"https_a|b.tracker.example_0.indexeddb.leveldb"}, {}, {}, true},
};

TEST(ChromiumIndexedDB, ScanListsEvilSitesAndCleanRemovesTheirFoldersOnly) {
  const BrowserInfo& edge = BrowserOf(Browser::kEdge);
  const ChromiumBrowser member{static_cast<int>(edge.id), edge.chromium_user_data};
  for (const IndexedDBCase& c : kIndexedDBCases) {
    SCOPED_TRACE(c.what);
#ifdef _WIN32
    if (c.posix_only) continue;
#endif
    TempProfile profile;
    profile.Write("Documents/letter.txt", "precious");
    bool linked = true;
    for (const std::string& folder : c.folders) {
      if (folder.rfind("link:", 0) != 0) {
        profile.Write(kEdgeIndexedDB + folder + "/000003.log", "data of " + folder);
        continue;
      }
      profile.MakeDir(kEdgeIndexedDB);
      std::error_code error;
      std::filesystem::create_directory_symlink(profile.Native("Documents"),
                                                profile.Native(kEdgeIndexedDB + folder.substr(5)), error);
      linked = !error;
    }
    if (!linked) continue;  // no folder links on this system
    const auto before = Snapshot(profile);

    CChromiumIndexedDBArray items;
    EXPECT_EQ(ProcessChromiumIndexedDB(member, kFilter, items, false), static_cast<int>(c.found.size()));
    ExpectShown(items, c.found);
    EXPECT_EQ(Snapshot(profile), before);

    EXPECT_EQ(ProcessChromiumIndexedDB(member, kFilter, items, true), static_cast<int>(c.found.size()));
    std::vector<std::string> removed;
    for (const std::string& folder : c.removed) removed.push_back(kEdgeIndexedDB + folder + "/");
    EXPECT_EQ(Snapshot(profile), Without(before, removed));
  }
}

// ---- Firefox's per-site storage

constexpr char kIni[] = "[Profile0]\nName=default\nIsRelative=1\nPath=Profiles/x.default\n";
const std::string kProfile = "AppData/Roaming/Mozilla/Firefox/Profiles/x.default/";
const std::string kOrigins = kProfile + "storage/default/";

struct SiteStorageCase {
  const char* what;
  std::vector<std::string> origins;  // folders of storage/default
  std::vector<std::string> scopes;   // ls-archive.sqlite rows (key "k"); none: no file
  bool firefox_runs;
  std::vector<std::string> found;    // as Shown()
  std::vector<std::string> removed;  // origin folders the clean takes
  int archive_left;
};

const std::string kSite = "https+++www.tracker.example", kContainer = kSite + "^userContextId=2",
                  kPartition = kSite + "+8443^partitionKey=%28https%2Cnews.example%29",
                  kHeld = "|localStorage, IndexedDB; 3 files|Unknown";  // what each origin folder holds

const SiteStorageCase kSiteStorageCases[] = {
    {"an evil site with its container and partition folders; harmless sites",
     {kSite, kContainer, kPartition, "https+++news.example",
      "https+++news.example^partitionKey=%28https%2Ctracker.example%29"},
     {}, false,
     {kSite + "|www.tracker.example" + kHeld, kPartition + "|www.tracker.example (partition https://news.example)" + kHeld,
      kContainer + "|www.tracker.example (container 2)" + kHeld},
     {kSite, kContainer, kPartition}, 0},
    {"archived rows", {"https+++news.example"},
     {"elpmaxe.rekcart.www.:https:443", "elpmaxe.swen.:https:443"}, false,
     {"k|www.tracker.example|v|Unknown"}, {}, 1},
    {"nothing evil", {"https+++news.example", "file++++C++page.html"}, {"elpmaxe.swen.:https:443"},
     false, {}, {}, 1},
    {"Firefox runs with the profile", {kSite}, {"elpmaxe.rekcart.www.:https:443"}, true, {}, {}, 1},
};

TEST(FirefoxSiteStorage, CleanRemovesEvilSiteFoldersAndRowsAndLeavesTheRestByteForByte) {
  for (const SiteStorageCase& c : kSiteStorageCases) {
    SCOPED_TRACE(c.what);
    TempProfile profile;
    profile.Write("AppData/Roaming/Mozilla/Firefox/profiles.ini", kIni);
    profile.MakeDir(kProfile + "storage");
    TestDb(profile.Path(kProfile + "cookies.sqlite")).Exec(kFirefoxCookieSchemaV17);
    TestDb(profile.Path(kProfile + "storage.sqlite"))
        .Exec("CREATE TABLE cache(valid INTEGER NOT NULL DEFAULT 0, build_id TEXT NOT NULL "
              "DEFAULT ''); INSERT INTO cache VALUES (1, '20250101');");
    for (const std::string& origin : c.origins) {
      profile.Write(kOrigins + origin + "/ls/data.sqlite", "ls of " + origin);
      profile.Write(kOrigins + origin + "/idb/1.sqlite", "idb of " + origin);
      profile.Write(kOrigins + origin + "/.metadata-v2", origin);
    }
    const std::wstring archive = profile.Path(kProfile + "storage/ls-archive.sqlite");
    if (!c.scopes.empty()) {
      TestDb db(archive);
      db.Exec(kWebappsstoreSchemaCurrent);
      for (const std::string& scope : c.scopes) {
        db.Run("INSERT INTO webappsstore2 VALUES ('', ?1, ?1, 'k', 'v')", {scope});
      }
    }
    std::optional<LockHolder> firefox;
    if (c.firefox_runs) {
      firefox.emplace(profile.Path(kProfile + "cookies.sqlite"), kHeldByFirefox, profile);
      ASSERT_TRUE(firefox->holding());
    }
    const auto before = ProfileFiles(profile);
    const int evil = static_cast<int>(c.found.size());

    CFirefoxSiteStorageArray items;
    HeldStores held;
    EXPECT_EQ(ProcessFirefoxSiteStorage(kFilter, items, false, &held), evil);
    ExpectShown(items, c.found);
    EXPECT_EQ(ProfileFiles(profile), before);

    EXPECT_EQ(ProcessFirefoxSiteStorage(kFilter, items, true, &held), evil);
    EXPECT_EQ(held.size(), c.firefox_runs ? 2u : 0u);  // once by the scan, once by the clean
    std::vector<std::string> removed;
    for (const std::string& origin : c.removed) removed.push_back(kOrigins + origin + "/");
    auto after = ProfileFiles(profile);
    if (evil > 0) {
      for (const std::string& changed : {kProfile + "storage.sqlite", kProfile + "storage/ls-archive.sqlite"}) {
        after.erase(changed);
        removed.push_back(changed);
      }
    }
    EXPECT_EQ(after, Without(before, removed));
    firefox.reset();
    EXPECT_EQ(TestDb(profile.Path(kProfile + "storage.sqlite")).Rows("SELECT valid FROM cache"),
              std::vector<std::string>{evil > 0 ? "0" : "1"});
    if (!c.scopes.empty()) {
      EXPECT_EQ(TestDb(archive).Count("webappsstore2"), c.archive_left);
    }
  }
}

}  // namespace
