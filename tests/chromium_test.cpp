// The Chromium family's cookie store on real databases of today's schema: which
// profiles and databases of a user data folder it reads, how their rows show, and
// what a clean leaves.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/platform.h"
#include "scan/browsers.h"
#include "sqlite_support.h"
#include "stores/chromium/chromium.h"
#include "stores/stores.h"
#include "support/temp_tree.h"

namespace {

const CCookieFilter kFilter(L"*.tracker.example\n");

// A cookie row of the v24 table: host_key, top_frame_site_key, name, value, whether
// encrypted_value holds a (random) encrypted value, source_scheme.
void AddCookie(TestDb& db, const std::vector<Cell>& row) {
  db.Run("INSERT INTO cookies VALUES(13300000000000000, ?1, ?2, ?3, ?4, "
         "CASE WHEN ?5 = 'encrypted' THEN randomblob(48) ELSE X'' END, '/', 13500000000000000, "
         "1, 0, 13300000000000000, 1, 1, 1, 0, ?6, 443, 13300000000000000, 0, 0)",
         row);
}

ChromiumBrowser Member(Browser browser) {
  return ChromiumBrowser{static_cast<int>(browser), BrowserOf(browser).chromium_user_data};
}

std::string Shown(const CCookie& item) {
  return platform::Utf8FromWide(item.m_strName + L"|" + item.GetDisplaySite());
}

// ---- Profiles and databases of a user data folder

constexpr char kNames[] =
    R"({"profile":{"info_cache":{"Default":{"name":"Person 1"},"Profile 3":{"name":"Work"}}}})";

struct LayoutCase {
  const char* what;
  Browser browser;
  const char* user_data;  // below the Windows profile
  // Below the user data folder: "...Cookies" a database holding one evil cookie named
  // by that path, anything else a plain file.
  std::vector<std::string> files;
  const char* local_state;  // nullptr: none
  // Every cookie the browser's stores list: "name|display site", sorted; "%" stands
  // for "tracker.example/".
  std::vector<std::string> found;
};

const std::vector<std::string> kBoth = {"Default/Network/Cookies", "Default/Cookies"};

const LayoutCase kLayouts[] = {
    {"Edge: both locations are the family's", Browser::kEdge, "AppData/Local/Microsoft/Edge/User Data/",
     kBoth, nullptr, {"Default/Cookies|% (Default)", "Default/Network/Cookies|% (Default)"}},
    {"Chrome stable: <profile>\\Cookies is the Chrome store's", Browser::kChrome,
     "AppData/Local/Google/Chrome/User Data/", kBoth, nullptr,
     {"Default/Cookies|%", "Default/Network/Cookies|% (Default)"}},
    {"Chrome Beta: both locations", Browser::kChrome, "AppData/Local/Google/Chrome Beta/User Data/",
     kBoth, nullptr, {"Default/Cookies|% (Default)", "Default/Network/Cookies|% (Default)"}},
    {"Opera: the folder itself is a profile", Browser::kOpera,
     "AppData/Roaming/Opera Software/Opera Stable/", {"Network/Cookies", "Cookies"}, nullptr,
     {"Cookies|% (Opera Stable)", "Network/Cookies|% (Opera Stable)"}},
    {"Opera: Default and side profiles", Browser::kOpera,
     "AppData/Roaming/Opera Software/Opera GX Stable/",
     {"Default/Network/Cookies", "_side_profiles/3f9a/Network/Cookies"}, nullptr,
     {"Default/Network/Cookies|% (Default)", "_side_profiles/3f9a/Network/Cookies|% (3f9a)"}},
    {"Local State names profiles; one named there has no database", Browser::kVivaldi,
     "AppData/Local/Vivaldi/User Data/",
     {"Default/Network/Cookies", "Profile 1/Network/Cookies", "Profile 3/Preferences"}, kNames,
     {"Default/Network/Cookies|% (Person 1)", "Profile 1/Network/Cookies|% (Profile 1)"}},
    {"System and Guest profiles are never read", Browser::kBrave,
     "AppData/Local/BraveSoftware/Brave-Browser/User Data/",
     {"System Profile/Network/Cookies", "Guest Profile/Cookies", "Guest Profile/Network/Cookies"},
     nullptr, {}},
};

TEST(ChromiumProfiles, EveryDatabaseOfEveryProfileIsListedOnceAndNothingChanges) {
  for (const LayoutCase& c : kLayouts) {
    SCOPED_TRACE(c.what);
    TempProfile profile;
    for (const std::string& file : c.files) {
      const std::string path = c.user_data + file;
      const bool database = file.ends_with("Cookies");
      profile.Write(path, database ? "" : "{}");
      if (!database) continue;
      TestDb db(profile.Path(path));
      db.Exec(kChromiumSchemaV24);
      AddCookie(db, {".tracker.example", "", file, "v", "plain", "2"});
    }
    if (c.local_state != nullptr) profile.Write(std::string(c.user_data) + "Local State", c.local_state);
    const auto before = Snapshot(profile);

    CChromiumCookieArray family;
    const int count = ProcessChromiumCookies(Member(c.browser), kFilter, family, false);
    EXPECT_EQ(count, static_cast<int>(family.size()));
    std::vector<std::string> found;
    for (const CChromiumCookie& item : family) found.push_back(Shown(item));
    if (c.browser == Browser::kChrome) {
      CChromeCookieArray chrome;
      ProcessChromeCookies(kFilter, chrome, false);
      for (const CChromeCookie& item : chrome) found.push_back(Shown(item));
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> expected = c.found;
    for (std::string& e : expected) e.replace(e.find('%'), 1, "tracker.example/");
    EXPECT_EQ(found, expected);
    EXPECT_EQ(Snapshot(profile), before);
  }
}

// ---- Rows of one database

struct RowCase {
  std::vector<Cell> row;  // as AddCookie takes it
  const char* shown;      // "display site|value" in a scan; nullptr: kept
};

const RowCase kRows[] = {
    {{".tracker.example", "", "id", "", "encrypted", "2"}, "tracker.example/ (Work)|(encrypted)"},
    {{".tracker.example", "https://news.example", "id", "", "encrypted", "2"},
     "tracker.example/ (Work, partition https://news.example)|(encrypted)"},
    {{".tracker.example", "", "id", "plain-value", "plain", "1"}, "tracker.example/ (Work)|plain-value"},
    {{"news.example", "", "id", "", "encrypted", "2"}, nullptr},
    {{"news.example", "https://tracker.example", "id", "kept", "plain", "2"}, nullptr},
};

TEST(ChromiumRows, ScanShowsEachRowAsACookieAndCleanRemovesExactlyTheEvilOnes) {
  TempTree tree;
  const std::wstring path = tree.Path("Work/Network/Cookies");
  tree.Write("Work/Network/Cookies", "");
  std::vector<std::string> shown;
  std::vector<std::string> kept;
  {
    TestDb db(path);
    db.Exec(kChromiumSchemaV24);
    for (const RowCase& c : kRows) {
      AddCookie(db, c.row);
      if (c.shown != nullptr) shown.push_back(c.shown);
    }
    const std::vector<std::string> all = db.Rows("SELECT * FROM cookies ORDER BY rowid");
    for (size_t i = 0; i < all.size(); ++i) {
      if (kRows[i].shown == nullptr) kept.push_back(all[i]);
    }
  }
  const auto before = Snapshot(tree);
  CChromiumCookieArray items;
  HeldReason held = HeldReason::kInUse;
  EXPECT_EQ(ProcessChromiumCookieDatabase(path, 7, L"Work", kFilter, items, false, &held), 3);
  EXPECT_EQ(held, HeldReason::kNone);
  std::vector<std::string> seen;
  for (const CChromiumCookie& item : items) {
    EXPECT_EQ(item.m_nBrowser, 7);
    seen.push_back(platform::Utf8FromWide(item.GetDisplaySite() + L"|" + item.GetValue()));
  }
  EXPECT_EQ(seen, shown);
  EXPECT_EQ(Snapshot(tree), before);

  CChromiumCookieArray scratch;
  EXPECT_EQ(ProcessChromiumCookieDatabase(path, 7, L"Work", kFilter, scratch, true, &held), 3);
  EXPECT_EQ(held, HeldReason::kNone);
  TestDb db(path);
  EXPECT_EQ(db.Rows("SELECT * FROM cookies ORDER BY rowid"), kept);
}

}  // namespace
