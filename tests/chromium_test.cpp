// The Chromium family's cookie store on databases of today's schema: which profiles
// and databases it reads, how their rows show, what a clean leaves.
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

// A v24 cookie row: host_key, top_frame_site_key, name, value, "encrypted" for a
// random encrypted_value, source_scheme.
void AddCookie(TestDb& db, const std::vector<Cell>& row) {
  db.Run("INSERT INTO cookies VALUES(13300000000000000, ?1, ?2, ?3, ?4, "
         "CASE WHEN ?5 = 'encrypted' THEN randomblob(48) ELSE X'' END, '/', 13500000000000000, "
         "1, 0, 13300000000000000, 1, 1, 1, 0, ?6, 443, 13300000000000000, 0, 0)",
         row);
}

std::string Shown(const CCookie& item) { return platform::Utf8FromWide(item.m_strName + L"|" + item.GetDisplaySite()); }

constexpr char kNames[] =
    R"({"profile":{"info_cache":{"Default":{"name":"Person 1"},"Profile 3":{"name":"Work"}}}})";
const std::vector<std::string> kBoth = {"Default/Network/Cookies", "Default/Cookies"};

// Files below the user data folder ("...Cookies": a database with one evil cookie
// named by its path, else a plain file) and every cookie listed, "name|site" sorted.
const struct {
  Browser browser;
  const char* user_data;
  std::vector<std::string> files;
  const char* local_state;
  std::vector<std::string> found;
} kLayouts[] = {
    {Browser::kEdge, "AppData/Local/Microsoft/Edge/User Data/", kBoth, nullptr, {"Default/Cookies|tracker.example/ (Default)", "Default/Network/Cookies|tracker.example/ (Default)"}},
    {Browser::kChrome, "AppData/Local/Google/Chrome/User Data/", kBoth, nullptr, {"Default/Cookies|tracker.example/", "Default/Network/Cookies|tracker.example/ (Default)"}},
    {Browser::kOpera, "AppData/Roaming/Opera Software/Opera Stable/", {"Network/Cookies", "Cookies"}, nullptr, {"Cookies|tracker.example/ (Opera Stable)", "Network/Cookies|tracker.example/ (Opera Stable)"}},
    {Browser::kOpera, "AppData/Roaming/Opera Software/Opera GX Stable/", {"Default/Network/Cookies", "_side_profiles/3f9a/Network/Cookies"}, nullptr, {"Default/Network/Cookies|tracker.example/ (Default)", "_side_profiles/3f9a/Network/Cookies|tracker.example/ (3f9a)"}},
    {Browser::kVivaldi, "AppData/Local/Vivaldi/User Data/", {"Default/Network/Cookies", "Profile 1/Network/Cookies", "Profile 3/Preferences"}, kNames, {"Default/Network/Cookies|tracker.example/ (Person 1)", "Profile 1/Network/Cookies|tracker.example/ (Profile 1)"}},
    {Browser::kBrave, "AppData/Local/BraveSoftware/Brave-Browser/User Data/", {"System Profile/Network/Cookies", "Guest Profile/Cookies", "Guest Profile/Network/Cookies"}, nullptr, {}},
};

TEST(ChromiumProfiles, EveryDatabaseOfEveryProfileIsListedOnceAndNothingChanges) {
  for (const auto& c : kLayouts) {
    SCOPED_TRACE(c.user_data);
    TempProfile profile;
    const std::string root = std::string(c.user_data);
    for (const std::string& file : c.files) {
      const bool database = file.ends_with("Cookies");
      profile.Write(root + file, database ? "" : "{}");
      if (!database) continue;
      TestDb db(profile.Path(root + file));
      db.Exec(kChromiumSchemaV24);
      AddCookie(db, {".tracker.example", "", file, "v", "plain", "2"});
    }
    if (c.local_state != nullptr) profile.Write(root + "Local State", c.local_state);
    const auto before = Snapshot(profile);
    CChromiumCookieArray family;
    const int count = ProcessChromiumCookies({static_cast<int>(c.browser), BrowserOf(c.browser).chromium_user_data}, kFilter, family, false);
    EXPECT_EQ(count, static_cast<int>(family.size()));
    std::vector<std::string> found;
    for (const CChromiumCookie& item : family) found.push_back(Shown(item));
    CChromeCookieArray chrome;
    if (c.browser == Browser::kChrome) ProcessChromeCookies(kFilter, chrome, false);
    for (const CChromeCookie& item : chrome) found.push_back(Shown(item));
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, c.found);
    EXPECT_EQ(Snapshot(profile), before);
  }
}

// A row as AddCookie takes it and "site|value" in a scan; nullptr: kept by a clean.
const struct {
  std::vector<Cell> row;
  const char* shown;
} kRows[] = {
    {{".tracker.example", "", "id", "", "encrypted", "2"}, "tracker.example/ (Work)|(encrypted)"},
    {{".tracker.example", "https://news.example", "id", "", "encrypted", "2"}, "tracker.example/ (Work, partition https://news.example)|(encrypted)"},
    {{".tracker.example", "", "id", "plain-value", "plain", "1"}, "tracker.example/ (Work)|plain-value"},
    {{"news.example", "https://tracker.example", "id", "kept", "plain", "2"}, nullptr},
};

TEST(ChromiumRows, ScanShowsEachRowAsACookieAndCleanRemovesExactlyTheEvilOnes) {
  TempTree tree;
  const std::wstring path = (tree.Write("Work/Network/Cookies", ""), tree.Path("Work/Network/Cookies"));
  std::vector<std::string> shown, kept;
  {
    TestDb db(path);
    db.Exec(kChromiumSchemaV24);
    for (const auto& c : kRows) AddCookie(db, c.row);
    const std::vector<std::string> all = db.Rows("SELECT * FROM cookies ORDER BY rowid");
    for (size_t i = 0; i < all.size(); ++i) kRows[i].shown ? shown.push_back(kRows[i].shown) : kept.push_back(all[i]);
  }
  const auto before = Snapshot(tree);
  CChromiumCookieArray items, scratch;
  HeldReason held = HeldReason::kInUse;
  EXPECT_EQ(ProcessChromiumCookieDatabase(path, 7, L"Work", kFilter, items, false, &held), 3);
  std::vector<std::string> seen;
  for (const CChromiumCookie& item : items) seen.push_back(platform::Utf8FromWide(item.GetDisplaySite() + L"|" + item.GetValue()));
  EXPECT_EQ(seen, shown);
  EXPECT_EQ(Snapshot(tree), before);
  EXPECT_EQ(ProcessChromiumCookieDatabase(path, 7, L"Work", kFilter, scratch, true, &held), 3);
  EXPECT_EQ(held, HeldReason::kNone);
  EXPECT_EQ(TestDb(path).Rows("SELECT * FROM cookies ORDER BY rowid"), kept);
}

}  // namespace
