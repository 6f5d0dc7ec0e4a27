// The Chrome store on real files: every folder of "User Data" tried for a
// Cookies database with Chrome's own table.
#include <gtest/gtest.h>

#include "app/settings.h"
#include "platform/platform.h"
#include "sqlite_support.h"
#include "stores/chrome/chrome.h"
#include "stores/stores.h"
#include "text/textfile.h"
#include "support/temp_tree.h"

namespace {

constexpr char kUserData[] = "AppData/Local/Google/Chrome/User Data/";
constexpr int64_t kSecondsFrom1601To1970 = 11644473600;

// expires_utc of a cookie that expires `days` from now.
std::string ExpiresIn(int64_t days) {
  return std::to_string((platform::CurrentCalendarTime() + days * 86400 + kSecondsFrom1601To1970) *
                        1000000);
}

// A row: creation_utc, host_key, name, value, path, expires_utc.
using ChromeRow = std::vector<Cell>;

void AddV12(TestDb& db, const ChromeRow& row) {
  db.Run("INSERT INTO cookies (creation_utc, host_key, name, value, path, expires_utc, is_secure, "
         "is_httponly, last_access_utc, has_expires, is_persistent, priority, encrypted_value, "
         "samesite, source_scheme) VALUES (?, ?, ?, ?, ?, ?, 0, 0, 13300000000000000, 1, 1, 1, "
         "X'', -1, 2)",
         row);
}

void AddCurrent(TestDb& db, const ChromeRow& row, const std::string& port = "443") {
  ChromeRow cells = row;
  cells.push_back(port);
  db.Run("INSERT INTO cookies (creation_utc, host_key, top_frame_site_key, name, value, "
         "encrypted_value, path, expires_utc, is_secure, is_httponly, last_access_utc, has_expires, "
         "is_persistent, priority, samesite, source_scheme, source_port, last_update_utc, "
         "source_type, has_cross_site_ancestor) "
         "SELECT ?1, ?2, '', ?3, ?4, X'', ?5, ?6, 1, 0, 13300000000000000, 1, 1, 1, -1, 2, ?7, "
         "13300000000000000, 0, 0",
         cells);
}

class Chrome : public testing::Test {
 protected:
  static std::string Profile(const std::string& folder) { return kUserData + folder + "/Cookies"; }
  std::wstring ProfilePath(const std::string& folder) const { return profile_.Path(Profile(folder)); }

  int Scan() {
    found_.clear();
    return ProcessChromeCookies(filter_, found_, false);
  }
  int Clean() {
    CChromeCookieArray scratch;
    const int count = ProcessChromeCookies(filter_, scratch, true);
    EXPECT_TRUE(scratch.empty());
    return count;
  }
  std::vector<std::string> Rows(const std::string& folder) {
    TestDb db(ProfilePath(folder));
    return db.Rows("SELECT creation_utc, host_key, name, value, path FROM cookies ORDER BY rowid");
  }

  TempProfile profile_;
  CCookieFilter filter_{L"*.tracker.example\n*.ads.net\n"};
  CChromeCookieArray found_;
};

TEST_F(Chrome, EveryProfileFolderIsTriedAndNothingIsCreated) {
  profile_.MakeDir(kUserData);
  {
    profile_.MakeDir(std::string(kUserData) + "Default");
    TestDb db(ProfilePath("Default"));
    db.Exec(kChromeSchemaV12);
    AddV12(db, {"13300000000000001", ".tracker.example", "a", "1", "/x", "0"});
    AddV12(db, {"13300000000000002", "news.example", "keep", "2", "/", "0"});
  }
  {
    profile_.MakeDir(std::string(kUserData) + "Profile 1");
    TestDb db(ProfilePath("Profile 1"));
    db.Exec(kChromeSchemaCurrent);
    AddCurrent(db, {"13300000000000003", "x.ads.net", "b", "3", "/", "0"});
    AddCurrent(db, {"13300000000000004", "mail.example", "keep", "4", "/", "0"});
  }
  // Folders without a Cookies file, and plain files: none of them gains a database.
  // A Cookies file lying directly in User Data is not a profile's and stays as it is.
  for (const char* folder : {"System Profile", "Crashpad", "Safe Browsing", "ShaderCache/GPUCache"}) {
    profile_.MakeDir(std::string(kUserData) + folder);
  }
  profile_.Write(std::string(kUserData) + "Local State", "{}");
  {
    TestDb db(profile_.Path(std::string(kUserData) + "Cookies"));
    db.Exec(kChromeSchemaV12);
    AddV12(db, {"13300000000000005", ".tracker.example", "stray", "5", "/", "0"});
  }
  const auto before = Snapshot(profile_, kUserData);

  EXPECT_EQ(Scan(), 2);
  ASSERT_EQ(found_.size(), 2u);
  EXPECT_EQ(found_[0].m_strName, L"a");  // Default before Profile 1
  EXPECT_EQ(found_[0].m_strSite, L".tracker.example/x");
  EXPECT_EQ(found_[0].GetDisplaySite(), L"tracker.example/x");
  EXPECT_EQ(found_[0].m_strValue, L"1");
  EXPECT_EQ(found_[1].m_strName, L"b");
  EXPECT_EQ(found_[1].m_strSite, L"x.ads.net/");
  EXPECT_EQ(Snapshot(profile_, kUserData), before);

  EXPECT_EQ(Clean(), 2);
  EXPECT_EQ(Rows("Default"), std::vector<std::string>{"13300000000000002|news.example|keep|2|/"});
  EXPECT_EQ(Rows("Profile 1"), std::vector<std::string>{"13300000000000004|mail.example|keep|4|/"});
  auto after = Snapshot(profile_, kUserData);
  EXPECT_EQ(after.size(), before.size());
  for (const auto& [name, bytes] : before) {
    if (name != "Default/Cookies" && name != "Profile 1/Cookies") {
      EXPECT_EQ(after[name], bytes) << name;
    }
  }
  EXPECT_EQ(Scan(), 0);
}

TEST_F(Chrome, QuotesNonAsciiBytesAndTheExpiryText) {
  profile_.MakeDir(std::string(kUserData) + "Default");
  {
    TestDb db(ProfilePath("Default"));
    db.Exec(kChromeSchemaV12);
    AddV12(db, {"13300000000000001", ".tracker.example", "O'Brien", "it's", "/'q'", "0"});
    AddV12(db, {"13300000000000002", ".tracker.example", "caf\xC3\xA9", "\xE9t\xE9", "/",
                ExpiresIn(400)});
    AddV12(db, {"13300000000000003", "keep.example", "keep'", "v", "/keep", "0"});
  }
  ASSERT_EQ(Scan(), 2);
  EXPECT_EQ(found_[0].m_strName, L"O'Brien");
  EXPECT_EQ(found_[0].m_strSite, L".tracker.example/'q'");
  EXPECT_EQ(found_[0].GetExpires(), L"soon");  // expires_utc 0
  EXPECT_EQ(found_[1].m_strName, WideFromBytes("caf\xC3\xA9"));
  EXPECT_EQ(found_[1].m_strValue, WideFromBytes("\xE9t\xE9"));
  EXPECT_EQ(found_[1].GetExpires(), L"1 year");
  EXPECT_EQ(Clean(), 2);
  EXPECT_EQ(Rows("Default"),
            std::vector<std::string>{"13300000000000003|keep.example|keep'|v|/keep"});
}

TEST_F(Chrome, RowsSharingCreationHostNameAndPathGoWithOneDelete) {
  profile_.MakeDir(std::string(kUserData) + "Default");
  {
    TestDb db(ProfilePath("Default"));
    db.Exec(kChromeSchemaCurrent);
    AddCurrent(db, {"13300000000000001", ".tracker.example", "id", "1", "/", "0"}, "443");
    AddCurrent(db, {"13300000000000001", ".tracker.example", "id", "2", "/", "0"}, "80");
    AddCurrent(db, {"13300000000000001", "news.example", "id", "3", "/", "0"}, "443");
  }
  EXPECT_EQ(Scan(), 2);
  // The first DELETE removes both rows, the second finds none and still succeeds.
  EXPECT_EQ(Clean(), 2);
  EXPECT_EQ(Rows("Default"), std::vector<std::string>{"13300000000000001|news.example|id|3|/"});
}

TEST_F(Chrome, ACreationTimeThatIsNotANumberDeletesOnlyItsOwnRow) {
  profile_.MakeDir(std::string(kUserData) + "Default");
  {
    TestDb db(ProfilePath("Default"));
    db.Exec(kChromeSchemaV12);
    // Written into a DELETE, this text would delete every row; rows go by rowid.
    AddV12(db, {"0 OR 1=1 OR 1", ".tracker.example", "a", "1", "/", "0"});
    AddV12(db, {"13300000000000002", "news.example", "keep", "2", "/", "0"});
    AddV12(db, {"-13300000000000003", ".ads.net", "b", "3", "/", "0"});
  }
  EXPECT_EQ(Scan(), 2);
  EXPECT_EQ(Clean(), 2);
  EXPECT_EQ(Rows("Default"), std::vector<std::string>{"13300000000000002|news.example|keep|2|/"});
}

TEST_F(Chrome, DatabaseHeldByARunningChromeIsLeftAlone) {
  profile_.MakeDir(std::string(kUserData) + "Default");
  {
    TestDb db(ProfilePath("Default"));
    db.Exec(kChromeSchemaCurrent);
    AddCurrent(db, {"13300000000000001", ".tracker.example", "id", "1", "/", "0"});
  }
  {
    // Chrome keeps its Cookies database in exclusive locking mode.
    LockHolder lock(ProfilePath("Default"), "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; COMMIT;",
                    profile_);
    ASSERT_TRUE(lock.holding());
    EXPECT_EQ(Scan(), 0);
    EXPECT_EQ(Clean(), 0);
  }
  EXPECT_EQ(Rows("Default").size(), 1u);
  EXPECT_EQ(Clean(), 1);
}

TEST_F(Chrome, NoUserDataFolderOrNoDatabasesFindNothing) {
  EXPECT_EQ(Scan(), 0);
  EXPECT_EQ(Clean(), 0);
  profile_.MakeDir(std::string(kUserData) + "Default");
  profile_.Write(Profile("Guest Profile"), "not a database");
  profile_.Write(Profile("Profile 2"), "");
  profile_.MakeDir(std::string(kUserData) + "Profile 3");
  {
    TestDb db(ProfilePath("Profile 3"));  // another program's table of that name
    db.Exec("CREATE TABLE cookies(host_key TEXT, name TEXT);"
            "INSERT INTO cookies VALUES('.tracker.example', 'a');");
  }
  const auto before = Snapshot(profile_, kUserData);
  EXPECT_EQ(Scan(), 0);
  EXPECT_EQ(Clean(), 0);
  EXPECT_EQ(Snapshot(profile_, kUserData), before);
}

TEST_F(Chrome, LocalStorageFindsNothingInEitherMode) {
  CChromeUserdataArray items;
  EXPECT_EQ(ProcessChromeUserdata(filter_, items, false), 0);
  EXPECT_EQ(ProcessChromeUserdata(filter_, items, true), 0);
  EXPECT_TRUE(items.empty());
}

TEST(ChromeUserFolders, ProfilesUnderNonAsciiUserFoldersAreFoundAndCleaned) {
  for (const char* user : {"Users/Jos\xC3\xA9", "Users/\xD0\x9F\xD1\x91\xD1\x82\xD1\x80"}) {
    SCOPED_TRACE(user);
    TempTree tree;
    const std::string cookies = std::string(user) + "/" + kUserData + "Default/Cookies";
    tree.MakeDir(std::string(user) + "/" + kUserData + "Default");
    {
      TestDb db(tree.Path(cookies));
      db.Exec(kChromeSchemaV12);
      AddV12(db, {"13300000000000001", ".tracker.example", "a", "1", "/", "0"});
      AddV12(db, {"13300000000000002", "news.example", "keep", "2", "/", "0"});
    }
    ProfileAt at(tree, user);
    const CCookieFilter filter(L"*.tracker.example\n");
    CChromeCookieArray items;
    EXPECT_EQ(ProcessChromeCookies(filter, items, false), 1);
    CChromeCookieArray scratch;
    EXPECT_EQ(ProcessChromeCookies(filter, scratch, true), 1);
    TestDb db(tree.Path(cookies));
    EXPECT_EQ(db.Count("cookies"), 1);
  }
}

// Real Cookies databases of two Chrome versions, on copies.
class ChromeRealData : public Chrome, public testing::WithParamInterface<const char*> {};

TEST_P(ChromeRealData, CleanRemovesExactlyTheEvilRows) {
  profile_.CopyTestData(std::string("chrome/") + GetParam(), Profile("Default"));
  filter_ = CCookieFilter(DefaultFilterText());
  std::vector<std::string> kept;
  int evil = 0;
  {
    TestDb db(ProfilePath("Default"));
    const std::vector<std::string> all = db.Rows("SELECT * FROM cookies ORDER BY rowid");
    const std::vector<std::string> sites =
        db.Rows("SELECT host_key || path FROM cookies ORDER BY rowid");
    ASSERT_EQ(all.size(), sites.size());
    for (size_t i = 0; i < all.size(); ++i) {
      CChromeCookie probe;
      probe.m_strSite = WideFromBytes(sites[i]);
      if (filter_.IsEvil(probe)) {
        ++evil;
      } else {
        kept.push_back(all[i]);
      }
    }
  }
  ASSERT_GT(kept.size(), 0u);
  const auto before = Snapshot(profile_, kUserData);
  EXPECT_EQ(Scan(), evil);
  EXPECT_EQ(Snapshot(profile_, kUserData), before);
  EXPECT_EQ(Clean(), evil);
  {
    TestDb db(ProfilePath("Default"));
    EXPECT_EQ(db.Rows("SELECT * FROM cookies ORDER BY rowid"), kept);
  }
  EXPECT_EQ(Snapshot(profile_, kUserData).size(), 2u);  // the folder and its Cookies
  EXPECT_EQ(Scan(), 0);
}

INSTANTIATE_TEST_SUITE_P(Versions, ChromeRealData, testing::Values("Cookies-old-schema", "Cookies-v10"));

TEST(ChromeRealDataContent, TheOldSchemaHoldsEvilCookiesOfTheDefaultFilter) {
  TempProfile profile;
  profile.CopyTestData("chrome/Cookies-old-schema",
                       std::string(kUserData) + "Default/Cookies");
  const CCookieFilter filter(DefaultFilterText());
  CChromeCookieArray items;
  EXPECT_GT(ProcessChromeCookies(filter, items, false), 50);
  bool doubleclick = false;
  for (const CChromeCookie& item : items) doubleclick |= item.m_strSite == L".doubleclick.net/";
  EXPECT_TRUE(doubleclick);
}

}  // namespace
