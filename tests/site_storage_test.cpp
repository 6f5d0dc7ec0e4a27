// The stores that remove a site's storage folders whole: the Chromium family's
// IndexedDB and Firefox's per-site storage. A scan writes nothing; a clean removes
// exactly the evil sites' folders and rows.
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
using Strings = std::vector<std::string>;
using Files = std::map<std::string, std::string>;

// The items as "name|display site|value", sorted.
template <typename Array>
Strings Shown(const Array& items) {
  Strings shown;
  for (const CCookie& i : items) shown.push_back(platform::Utf8FromWide(i.GetName() + L"|" + i.GetDisplaySite() + L"|" + i.GetValue()));
  std::sort(shown.begin(), shown.end());
  return shown;
}

// `files` without the lock helper's (LockHolder) and those below `prefix` + each of
// `removed` + "/".
Files Without(Files files, const std::string& prefix, const Strings& removed) {
  std::erase_if(files, [&](const auto& entry) {
    const auto below = [&](const std::string& f) { return entry.first.rfind(prefix + f + "/", 0) == 0; };
    return entry.first.rfind("lock-", 0) == 0 || std::any_of(removed.begin(), removed.end(), below);
  });
  return files;
}

// ---- The Chromium family's IndexedDB: folders, each with one file ("link:": a
// link to a folder outside instead).

const std::string kIdb = "AppData/Local/Microsoft/Edge/User Data/Default/IndexedDB/";
const std::string kWww = "https_www.tracker.example_0.indexeddb.leveldb", kWwwBlob = "https_www.tracker.example_0.indexeddb.blob",
                  kCdnBlob = "https_cdn.tracker.example_443.indexeddb.blob";

const struct {
  const char* what;
  Strings folders, found, removed;  // found as Shown()
} kIndexedDBCases[] = {
    {"evil site with its blob folder; harmless site", {kWww, kWwwBlob, "https_news.example_0.indexeddb.leveldb"}, {kWww + "|www.tracker.example (Default)|2 files"}, {kWww, kWwwBlob}},
    {"a blob folder alone", {kCdnBlob}, {kCdnBlob + "|cdn.tracker.example (Default)|1 file"}, {kCdnBlob}},
    {"names of no site", {"https_www.tracker.example_x.indexeddb.leveldb", "file__0.indexeddb.leveldb", kWww + ".old"}, {}, {}},
    {"a site folder that is a link", {"link:" + kWww}, {}, {}},
#ifndef _WIN32  // a name Windows cannot hold
    {"a name Windows cannot hold", {"https_a|b.tracker.example_0.indexeddb.leveldb"}, {}, {}},
#endif
};

TEST(ChromiumIndexedDB, ScanListsEvilSitesAndCleanRemovesTheirFoldersOnly) {
  const BrowserInfo& edge = BrowserOf(Browser::kEdge);
  const ChromiumBrowser member{static_cast<int>(edge.id), edge.chromium_user_data};
  for (const auto& c : kIndexedDBCases) {
    SCOPED_TRACE(c.what);
    TempProfile profile;
    profile.Write("Documents/letter.txt", "precious");
    std::error_code error;
    profile.MakeDir(kIdb);
    for (const std::string& folder : c.folders) {
      if (folder.rfind("link:", 0) != 0) profile.Write(kIdb + folder + "/000003.log", "data of " + folder);
      else std::filesystem::create_directory_symlink(profile.Native("Documents"), profile.Native(kIdb + folder.substr(5)), error);
    }
    if (error) continue;  // no folder links on this system
    const auto before = Snapshot(profile);
    const int evil = static_cast<int>(c.found.size());
    CChromiumIndexedDBArray items;
    EXPECT_EQ(ProcessChromiumIndexedDB(member, kFilter, items, false), evil);
    EXPECT_EQ(Shown(items), c.found);
    EXPECT_EQ(Snapshot(profile), before);
    EXPECT_EQ(ProcessChromiumIndexedDB(member, kFilter, items, true), evil);
    EXPECT_EQ(Snapshot(profile), Without(before, kIdb, c.removed));
  }
}

// ---- Firefox's per-site storage: origin folders of storage/default, rows of
// ls-archive.sqlite (key "k"; none: no file), whether Firefox holds the profile.

const std::string kProfile = "AppData/Roaming/Mozilla/Firefox/Profiles/x.default/", kOrigins = kProfile + "storage/default/";
const std::string kSite = "https+++www.tracker.example", kContainer = kSite + "^userContextId=2",
                  kPartition = kSite + "+8443^partitionKey=%28https%2Cnews.example%29",
                  kHeld = "|localStorage, IndexedDB; 3 files", kNews = "https+++news.example";

const struct {
  const char* what;
  Strings origins, scopes;  // found as Shown(); removed: origin folders the clean takes
  bool firefox_runs;
  Strings found, removed;
  int archive_left;
} kSiteStorageCases[] = {
    {"evil site with container and partition folders; harmless sites", {kSite, kContainer, kPartition, kNews, kNews + "^partitionKey=%28https%2Ctracker.example%29"}, {}, false,
     {kPartition + "|www.tracker.example (partition https://news.example)" + kHeld, kContainer + "|www.tracker.example (container 2)" + kHeld, kSite + "|www.tracker.example" + kHeld},
     {kSite, kContainer, kPartition}, 0},
    {"archived rows", {kNews}, {"elpmaxe.rekcart.www.:https:443", "elpmaxe.swen.:https:443"}, false, {"k|www.tracker.example|v"}, {}, 1},
    {"nothing evil", {kNews, "file++++C++page.html"}, {"elpmaxe.swen.:https:443"}, false, {}, {}, 1},
    {"Firefox holds the profile", {kSite}, {"elpmaxe.rekcart.www.:https:443"}, true, {}, {}, 1},
};

TEST(FirefoxSiteStorage, CleanRemovesEvilSiteFoldersAndRowsAndLeavesTheRestByteForByte) {
  for (const auto& c : kSiteStorageCases) {
    SCOPED_TRACE(c.what);
    TempProfile profile;
    profile.Write("AppData/Roaming/Mozilla/Firefox/profiles.ini", "[Profile0]\nName=default\nIsRelative=1\nPath=Profiles/x.default\n");
    profile.MakeDir(kProfile + "storage");
    TestDb(profile.Path(kProfile + "cookies.sqlite")).Exec(kFirefoxCookieSchemaV17);
    const std::wstring cache = profile.Path(kProfile + "storage.sqlite"), archive = profile.Path(kProfile + "storage/ls-archive.sqlite");
    TestDb(cache).Exec("CREATE TABLE cache(valid INTEGER NOT NULL DEFAULT 0, build_id TEXT NOT NULL DEFAULT ''); INSERT INTO cache VALUES (1, '20250101');");
    for (const std::string& origin : c.origins)
      for (const char* file : {"/ls/data.sqlite", "/idb/1.sqlite", "/.metadata-v2"}) profile.Write(kOrigins + origin + file, origin + file);
    if (!c.scopes.empty()) TestDb(archive).Exec(kWebappsstoreSchemaCurrent);
    for (const std::string& scope : c.scopes) TestDb(archive).Run("INSERT INTO webappsstore2 VALUES ('', ?1, ?1, 'k', 'v')", {scope});
    std::optional<LockHolder> firefox;
    if (c.firefox_runs) firefox.emplace(profile.Path(kProfile + "cookies.sqlite"), kHeldByFirefox, profile);
    ASSERT_TRUE(!firefox || firefox->holding());
    auto before = Without(Snapshot(profile), "", {});
    const int evil = static_cast<int>(c.found.size());
    CFirefoxSiteStorageArray items;
    HeldStores held;
    EXPECT_EQ(ProcessFirefoxSiteStorage(kFilter, items, false, &held), evil);
    EXPECT_EQ(Shown(items), c.found);
    EXPECT_EQ(Without(Snapshot(profile), "", {}), before);
    EXPECT_EQ(ProcessFirefoxSiteStorage(kFilter, items, true, &held), evil);
    EXPECT_EQ(held.size(), c.firefox_runs ? 2u : 0u);  // once by the scan, once by the clean
    auto after = Without(Snapshot(profile), "", {});
    for (const std::string changed : {"storage.sqlite", "storage/ls-archive.sqlite"})
      if (evil > 0) before.erase(kProfile + changed), after.erase(kProfile + changed);
    EXPECT_EQ(after, Without(before, kOrigins, c.removed));
    firefox.reset();
    EXPECT_EQ(TestDb(cache).Rows("SELECT valid FROM cache"), Strings{evil > 0 ? "0" : "1"});
    if (!c.scopes.empty()) { EXPECT_EQ(TestDb(archive).Count("webappsstore2"), c.archive_left); }
  }
}

}  // namespace
