// The Firefox stores on real files: the profile list, the
// cookie file, the cookie database and the DOM storage database of each profile.
#include <gtest/gtest.h>

#include <set>

#include "app/settings.h"
#include "platform/platform.h"
#include "sqlite_support.h"
#include "stores/firefox/firefox.h"
#include "stores/firefox/firefox_site_storage.h"
#include "stores/stores.h"
#include "text/textfile.h"
#include "support/temp_tree.h"

namespace {

constexpr char kFirefox[] = "AppData/Roaming/Mozilla/Firefox/";
constexpr char kProfile[] = "AppData/Roaming/Mozilla/Firefox/Profiles/abcd1234.default/";
constexpr char kRelativeIni[] =
    "[General]\nStartWithLastProfile=1\n\n"
    "[Profile0]\nName=default\nIsRelative=1\nPath=Profiles/abcd1234.default\nDefault=1\n";

std::string CookieLine(const std::string& domain, const std::string& name,
                       const std::string& value = "v", const std::string& expiry = "2145916800") {
  return domain + "\tTRUE\t/\tFALSE\t" + expiry + "\t" + name + "\t" + value + "\n";
}

class Firefox : public testing::Test {
 protected:
  Firefox() { profile_.Write(std::string(kFirefox) + "profiles.ini", kRelativeIni); }

  static std::string InProfile(const std::string& file) { return kProfile + file; }
  std::wstring ProfilePath(const std::string& file) const { return profile_.Path(InProfile(file)); }

  int ScanCookies() {
    cookies_.clear();
    return ProcessFirefoxCookies(filter_, cookies_, false);
  }
  int CleanCookies() {
    CFirefoxCookieArray scratch;
    const int count = ProcessFirefoxCookies(filter_, scratch, true);
    EXPECT_TRUE(scratch.empty());
    return count;
  }
  int ScanStorage() {
    storage_.clear();
    return ProcessFirefoxUserdata(filter_, storage_, false);
  }
  int CleanStorage() {
    CFirefoxUserdataArray unused;
    const int count = ProcessFirefoxUserdata(filter_, unused, true);
    EXPECT_TRUE(unused.empty());
    return count;
  }

  // A cookies.sqlite with Firefox's table, WAL journal and the given rows
  // (name, value, host, path, expiry).
  void MakeCookieDb(const std::string& file, const std::vector<std::vector<Cell>>& rows) {
    profile_.MakeDir(kProfile);
    TestDb db(ProfilePath(file));
    db.Exec(kFirefoxCookieSchema);
    for (const std::vector<Cell>& row : rows) {
      db.Run("INSERT INTO moz_cookies (baseDomain, originAttributes, name, value, host, path, "
             "expiry, lastAccessed, creationTime, isSecure, isHttpOnly) "
             "VALUES ('example', '', ?, ?, ?, ?, ?, 1600000000000000, 1600000000000000, 0, 0)",
             row);
    }
  }
  std::vector<std::string> CookieRows(const std::string& file = "cookies.sqlite") {
    TestDb db(ProfilePath(file));
    return db.Rows("SELECT * FROM moz_cookies ORDER BY id");
  }

  TempProfile profile_;
  CCookieFilter filter_{L"*.tracker.com\n*.ads.net\n"};
  CFirefoxCookieArray cookies_;
  CFirefoxUserdataArray storage_;
};

// ---- The profile list

TEST_F(Firefox, RelativeProfilePathFollowsTheFirefoxFolderWithItsForwardSlash) {
  std::wstring app_data;
  ASSERT_TRUE(platform::GetKnownFolder(platform::KnownFolder::AppData, &app_data));
  EXPECT_EQ(FirefoxProfileFolders(),
            std::vector<std::wstring>{app_data + L"\\Mozilla\\Firefox\\Profiles/abcd1234.default"});
}

TEST_F(Firefox, ProfilesZeroAndTwoWithoutOneGiveOnlyProfileZero) {
  profile_.Write(std::string(kFirefox) + "profiles.ini",
                 std::string(kRelativeIni) + "\n[Profile2]\nName=second\nIsRelative=1\n"
                                             "Path=Profiles/second\n");
  profile_.Write(std::string(kFirefox) + "Profiles/second/cookies.txt", CookieLine(".tracker.com", "b"));
  profile_.Write(InProfile("cookies.txt"), CookieLine(".tracker.com", "a"));
  EXPECT_EQ(FirefoxProfileFolders().size(), 1u);
  ASSERT_EQ(ScanCookies(), 1);
  EXPECT_EQ(cookies_[0].m_strName, L"a");
}

TEST_F(Firefox, ProfilesAreVisitedInNumberOrderAndAbsolutePathsStandAlone) {
  const std::string elsewhere = "Elsewhere/profile";
  profile_.Write(std::string(kFirefox) + "profiles.ini",
                 std::string(kRelativeIni) + "\n[Profile1]\nName=other\nIsRelative=0\nPath=" +
                     platform::Utf8FromWide(profile_.Path(elsewhere)) + "\n");
  profile_.Write(InProfile("cookies.txt"), CookieLine(".tracker.com", "first"));
  profile_.Write(elsewhere + "/cookies.txt", CookieLine(".ads.net", "second"));
  ASSERT_EQ(FirefoxProfileFolders().size(), 2u);
  EXPECT_EQ(FirefoxProfileFolders()[1], profile_.Path(elsewhere));
  ASSERT_EQ(ScanCookies(), 2);
  EXPECT_EQ(cookies_[0].m_strName, L"first");
  EXPECT_EQ(cookies_[1].m_strName, L"second");
}

TEST_F(Firefox, UnicodeProfileNamesAndTheStorePackageAreFound) {
  const std::string ff = kFirefox, zoe = "Profiles/k7k7.Zo\xC3\xAB",
                    store = "AppData/Local/Packages/Mozilla.Firefox_n80bbvh6b1yt2/LocalCache/Roaming/Mozilla/Firefox/";
  profile_.Write(ff + "profiles.ini", "[Profile0]\nIsRelative=1\nPath=" + zoe + "\n");
  profile_.Write(ff + zoe + "/cookies.txt", CookieLine(".tracker.com", "roaming"));
  profile_.Write(store + "profiles.ini", "[Profile0]\nIsRelative=1\nPath=Profiles/s.default\n");
  profile_.Write(store + "Profiles/s.default/cookies.txt", CookieLine(".ads.net", "store"));
  ASSERT_EQ(ScanCookies(), 2);
  EXPECT_EQ(cookies_[0].m_strName + cookies_[1].m_strName, L"roamingstore");
  EXPECT_EQ(CleanCookies(), 2);
}

TEST_F(Firefox, NoProfileListOrNoPathInProfileZeroFindsNothing) {
  const struct {
    const char* what;
    const char* ini;  // null: no profiles.ini
  } cases[] = {
      {"no profiles.ini", nullptr},
      {"empty", ""},
      {"Profile0 without Path", "[Profile0]\nName=x\nIsRelative=1\n[Profile1]\nPath=Profiles/abcd1234.default\nIsRelative=1\n"},
      {"Profile0 with an empty Path", "[Profile0]\nPath=\nIsRelative=1\n"},
  };
  profile_.Write(InProfile("cookies.txt"), CookieLine(".tracker.com", "a"));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    platform::RemoveFile(profile_.Path(std::string(kFirefox) + "profiles.ini"));
    if (c.ini != nullptr) profile_.Write(std::string(kFirefox) + "profiles.ini", c.ini);
    EXPECT_TRUE(FirefoxProfileFolders().empty());
    EXPECT_EQ(ScanCookies(), 0);
    EXPECT_EQ(CleanCookies(), 0);
    EXPECT_EQ(ScanStorage(), 0);
  }
  EXPECT_EQ(profile_.Read(InProfile("cookies.txt")), CookieLine(".tracker.com", "a"));
}

// ---- cookies.txt

TEST_F(Firefox, CookieFileScanReadsRecordsSkipsCommentsAndKeepsTheHttpOnlyPrefix) {
  const std::string file =
      "# Netscape HTTP Cookie File\n"
      "# http://www.netscape.com/newsref/std/cookie_spec.html\n"
      "\n"
      "#HttpOnly_.tracker.com\tTRUE\t/\tFALSE\t0\tsid\tabc\n"
      "#httponly_.ads.net\tTRUE\t/x\tTRUE\t2145916800\tlower\tdef\n"
      "# .tracker.com\tTRUE\t/\tFALSE\t0\tcommented\tout\n"
      "news.example\tFALSE\t/\tFALSE\t0\tkeep\tme\n";
  profile_.Write(InProfile("cookies.txt"), file);
  ASSERT_EQ(ScanCookies(), 2);
  EXPECT_EQ(cookies_[0].m_strPrefix, L"#HttpOnly_");
  EXPECT_EQ(cookies_[0].m_strSite, L".tracker.com/");
  EXPECT_EQ(cookies_[0].m_strDomain, L".tracker.com");
  EXPECT_EQ(cookies_[0].m_strName, L"sid");
  EXPECT_EQ(cookies_[0].GetExpires(), L"soon");
  EXPECT_EQ(cookies_[1].m_strPrefix, L"#httponly_");
  EXPECT_EQ(cookies_[1].m_strSite, L".ads.net/x");
  EXPECT_EQ(cookies_[1].m_strDomainFlag, L"TRUE");
  EXPECT_EQ(cookies_[1].m_strSecure, L"TRUE");
  EXPECT_EQ(cookies_[1].m_strExpires, L"2145916800");
  EXPECT_EQ(profile_.Read(InProfile("cookies.txt")), file);
}

TEST_F(Firefox, CookieFileCleanDropsEvilRecordsAndCommentsAndWritesLineFeeds) {
  profile_.Write(InProfile("cookies.txt"),
                 "# Netscape HTTP Cookie File\r\n\r\n"
                 "#HttpOnly_.tracker.com\tTRUE\t/\tFALSE\t0\tsid\tabc\r\n"
                 "#httponly_news.example\tTRUE\t/\tFALSE\t0\tlower\tkept\r\n"
                 "x.ads.net\tTRUE\t/\tFALSE\t0\tad\tgone\r\n"
                 "caf\xE9.example\tFALSE\t/\xFC\tFALSE\t0\tn\xE9\tv\xE9\r\n");
  EXPECT_EQ(ScanCookies(), 2);
  EXPECT_EQ(CleanCookies(), 2);
  EXPECT_EQ(profile_.Read(InProfile("cookies.txt")),
            "#httponly_news.example\tTRUE\t/\tFALSE\t0\tlower\tkept\n"
            "caf\xE9.example\tFALSE\t/\xFC\tFALSE\t0\tn\xE9\tv\xE9\n");
  EXPECT_EQ(ScanCookies(), 0);
}

TEST_F(Firefox, CookieFileCleanThatMatchesNothingLeavesItByteForByte) {
  const std::string content =
      "# Netscape HTTP Cookie File\r\nnews.example\tFALSE\t/\tFALSE\t0\ta\tb\r\n# end\r\n";
  profile_.Write(InProfile("cookies.txt"), content);
  EXPECT_EQ(CleanCookies(), 0);
  EXPECT_EQ(profile_.Read(InProfile("cookies.txt")), content);
}

TEST_F(Firefox, CookieFileCleanThatMatchesEverythingLeavesAnEmptyFile) {
  profile_.Write(InProfile("cookies.txt"),
                 "# header\n" + CookieLine(".tracker.com", "a") + CookieLine("ads.net", "b"));
  EXPECT_EQ(CleanCookies(), 2);
  EXPECT_TRUE(profile_.Exists(InProfile("cookies.txt")));
  EXPECT_EQ(profile_.Read(InProfile("cookies.txt")), "");
  // Nothing else is left in the profile folder (no new file beside it).
  EXPECT_EQ(Snapshot(profile_, kProfile).size(), 1u);
}

TEST_F(Firefox, CookieFileCleanKeepsEveryLineFromOneThatIsNotARecordOnVerbatim) {
  const struct {
    const char* what;
    std::string bad;
  } cases[] = {
      {"too few fields", "broken.example\tTRUE\t/\r\n"},
      {"an eighth field", "x.example\tTRUE\t/\tFALSE\t0\tn\tv\textra\r\n"},
      {"a bare word", "garbage\r\n"},
      {"an HttpOnly line of too few fields", "#HttpOnly_.tracker.com\tTRUE\r\n"},
      {"a Ctrl-Z", "\x1A\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string rest = c.bad + "# comment after it\r\n" +
                             ".tracker.com\tTRUE\t/\tFALSE\t0\tafter\tevil\r\n" +
                             "news.example\tTRUE\t/\tFALSE\t0\tafter\tkept\r\n";
    profile_.Write(InProfile("cookies.txt"),
                   "# header\n" + CookieLine(".tracker.com", "a") + CookieLine("keep.example", "k") +
                       "# just before\r\n" + rest);
    EXPECT_EQ(ScanCookies(), 1);
    EXPECT_EQ(CleanCookies(), 1);
    EXPECT_EQ(profile_.Read(InProfile("cookies.txt")),
              CookieLine("keep.example", "k") + "# just before\r\n" + rest);
  }
}

TEST_F(Firefox, CookieFileCleanKeepsARecordWithAnEmptySecondField) {
  profile_.Write(InProfile("cookies.txt"), CookieLine(".tracker.com", "a") +
                                                "keep.example\t\t/\tFALSE\t0\tn\tv\n" +
                                                ".ads.net\t\t/\tFALSE\t0\tevil\tv\n");
  EXPECT_EQ(ScanCookies(), 2);
  EXPECT_EQ(CleanCookies(), 2);
  EXPECT_EQ(profile_.Read(InProfile("cookies.txt")), "keep.example\t\t/\tFALSE\t0\tn\tv\n");
}

TEST_F(Firefox, MissingFilesAreNeverCreated) {
  profile_.MakeDir(kProfile);
  EXPECT_EQ(ScanCookies(), 0);
  EXPECT_EQ(CleanCookies(), 0);
  EXPECT_EQ(ScanStorage(), 0);
  EXPECT_EQ(CleanStorage(), 0);
  EXPECT_EQ(Snapshot(profile_, kProfile).size(), 0u);
}

// ---- cookies.sqlite

TEST_F(Firefox, CookieDatabaseScanFillsTheItemsFromTheRows) {
  const int64_t in_400_days = platform::CurrentCalendarTime() + 400 * 86400;
  MakeCookieDb("cookies.sqlite",
               {{"uid", "it's", ".tracker.com", "/", std::to_string(in_400_days)},
                {"keep", "v", "news.example", "/", "0"},
                {std::nullopt, std::nullopt, "x.ads.net", "/p\xC3\xA4th", "0"}});
  ASSERT_EQ(ScanCookies(), 2);
  const CFirefoxCookie& first = cookies_[0];
  EXPECT_EQ(first.m_strName, L"uid");
  EXPECT_EQ(first.m_strValue, L"it's");
  EXPECT_EQ(first.m_strSite, L".tracker.com/");
  EXPECT_EQ(first.GetDisplaySite(), L"tracker.com/");
  EXPECT_EQ(first.m_strExpires, std::to_wstring(in_400_days));
  EXPECT_EQ(first.GetExpires(), L"1 year");
  EXPECT_TRUE(first.m_strDomain.empty());
  EXPECT_TRUE(first.m_strPath.empty());
  EXPECT_TRUE(first.m_strSecure.empty());
  EXPECT_TRUE(first.m_strDomainFlag.empty());
  EXPECT_TRUE(first.m_strPrefix.empty());
  EXPECT_EQ(cookies_[1].m_strName, L"(null)");
  EXPECT_EQ(cookies_[1].m_strValue, L"(null)");
  EXPECT_EQ(cookies_[1].m_strSite, WideFromBytes("x.ads.net/p\xC3\xA4th"));
  EXPECT_EQ(cookies_[1].GetExpires(), L"soon");
}

TEST_F(Firefox, CookieDatabaseCleanDeletesTheEvilRowsOnly) {
  MakeCookieDb("cookies.sqlite", {{"O'Brien", "a'b", ".tracker.com", "/", "0"},
                                  {"keep", "\xE9t\xE9", "news.example", "/", "0"},
                                  {"n\xC3\xA9", "v", "x.ads.net", "/", "0"},
                                  {"keep2", "v", "tracker.com.example", "/", "0"}});
  const std::vector<std::string> rows = CookieRows();
  EXPECT_EQ(CleanCookies(), 2);
  EXPECT_EQ(CookieRows(), (std::vector<std::string>{rows[1], rows[3]}));
  EXPECT_EQ(Snapshot(profile_, kProfile).size(), 1u);  // no -wal, -shm or journal left
}

TEST_F(Firefox, ProfileWithBothCookieFilesCountsBoth) {
  profile_.Write(InProfile("cookies.txt"),
                 CookieLine(".tracker.com", "from-text") + CookieLine("news.example", "k"));
  MakeCookieDb("cookies.sqlite", {{"from-db", "v", ".ads.net", "/", "0"},
                                  {"from-db-2", "v", "www.tracker.com", "/", "0"}});
  ASSERT_EQ(ScanCookies(), 3);
  EXPECT_EQ(cookies_[0].m_strName, L"from-text");
  EXPECT_EQ(cookies_[1].m_strName, L"from-db");
  EXPECT_EQ(cookies_[2].m_strName, L"from-db-2");
  EXPECT_EQ(CleanCookies(), 3);
  EXPECT_EQ(ScanCookies(), 0);
  EXPECT_EQ(profile_.Read(InProfile("cookies.txt")), CookieLine("news.example", "k"));
  EXPECT_TRUE(CookieRows().empty());
}

TEST_F(Firefox, CookieDatabaseLockedByAnotherProcessIsLeftAlone) {
  MakeCookieDb("cookies.sqlite", {{"a", "v", ".tracker.com", "/", "0"}});
  LockHolder lock(ProfilePath("cookies.sqlite"),
                  "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; COMMIT;", profile_);
  ASSERT_TRUE(lock.holding());
  EXPECT_EQ(ScanCookies(), 0);
  EXPECT_EQ(CleanCookies(), 0);
  lock.Release();
  EXPECT_EQ(CookieRows().size(), 1u);
}

// Real cookies.sqlite files of two Firefox versions, on copies.
class FirefoxRealData : public Firefox, public testing::WithParamInterface<const char*> {};

TEST_P(FirefoxRealData, CleanRemovesExactlyTheEvilRowsAndLeavesTheFolderClean) {
  profile_.CopyTestData(std::string("firefox/") + GetParam(), InProfile("cookies.sqlite"));
  filter_ = CCookieFilter(DefaultFilterText() + L"\n*.youtube.com\n");
  const auto untouched = Snapshot(profile_, kProfile);

  std::vector<std::string> all;
  std::vector<std::string> kept;
  int evil = 0;
  {
    TestDb db(ProfilePath("cookies.sqlite"));
    all = db.Rows("SELECT * FROM moz_cookies ORDER BY id");
    const std::vector<std::string> sites = db.Rows("SELECT host || path FROM moz_cookies ORDER BY id");
    ASSERT_EQ(all.size(), sites.size());
    for (size_t i = 0; i < all.size(); ++i) {
      CFirefoxCookie probe;
      probe.m_strSite = WideFromBytes(sites[i]);
      if (filter_.IsEvil(probe)) {
        ++evil;
      } else {
        kept.push_back(all[i]);
      }
    }
  }
  ASSERT_GT(evil, 0);
  ASSERT_GT(kept.size(), 0u);

  EXPECT_EQ(Snapshot(profile_, kProfile), untouched);
  EXPECT_EQ(ScanCookies(), evil);
  EXPECT_EQ(Snapshot(profile_, kProfile), untouched);  // no -wal or -shm left behind
  EXPECT_EQ(CleanCookies(), evil);
  EXPECT_EQ(CookieRows(), kept);
  EXPECT_EQ(Snapshot(profile_, kProfile).size(), 1u);
  EXPECT_EQ(ScanCookies(), 0);
}

INSTANTIATE_TEST_SUITE_P(Versions, FirefoxRealData,
                         testing::Values("cookies-v5.sqlite", "cookies-v12.sqlite"));

// ---- webappsstore.sqlite

class FirefoxStorage : public Firefox {
 protected:
  void MakeStorageDb(const char* schema) {
    profile_.MakeDir(kProfile);
    TestDb db(ProfilePath("webappsstore.sqlite"));
    db.Exec(schema);
  }
  void AddOld(const char* table, const Cell& site, const Cell& key, const Cell& value) {
    TestDb db(ProfilePath("webappsstore.sqlite"));
    db.Run(std::string("INSERT INTO ") + table + " VALUES (?, ?, ?, 0, '')", {site, key, value});
  }
  void AddCurrent(const std::string& origin_attributes, const Cell& scope, const Cell& key,
                  const Cell& value) {
    TestDb db(ProfilePath("webappsstore.sqlite"));
    db.Run("INSERT INTO webappsstore2 VALUES (?1, ?2, ?2, ?3, ?4)",
           {origin_attributes, scope, key, value});
  }
  std::vector<std::string> StorageRows(const std::string& table) {
    TestDb db(ProfilePath("webappsstore.sqlite"));
    return db.Rows("SELECT * FROM " + table + " ORDER BY rowid");
  }
};

TEST_F(FirefoxStorage, ItemsOfTheCookieFileAndTheArchiveNameThePatternThatFoundThem) {
  filter_ = CCookieFilter(L"*.tracker.com\n*.ads.+\n");
  profile_.Write(InProfile("cookies.txt"), CookieLine("x.ads.net", "a") + CookieLine(".tracker.com", "b") + CookieLine("y.ads.net", "c"));
  ASSERT_EQ(ScanCookies(), 3);
  profile_.MakeDir(InProfile("storage"));
  TestDb(ProfilePath("storage/ls-archive.sqlite")).Exec(std::string(kWebappsstoreSchemaCurrent) +
      "INSERT INTO webappsstore2 VALUES ('', 'moc.rekcart.:https:443', 'moc.rekcart.:https:443', 'k', 'v');");
  CFirefoxSiteStorageArray archive;
  ASSERT_EQ(ProcessFirefoxSiteStorage(filter_, archive, false, nullptr), 1);
  EXPECT_EQ((std::vector<std::wstring>{cookies_[0].GetRule(), cookies_[1].GetRule(), cookies_[2].GetRule(), archive[0].GetRule()}),
            (std::vector<std::wstring>{L"*.ads.+", L"*.tracker.com", L"*.ads.+", L"*.tracker.com"}));
}

TEST(FirefoxScope, SiteIsTheScopeBeforeItsFirstColonReversed) {
  const struct {
    std::string scope;  // turned into the site in place
    const char* site;
  } cases[] = {
      {"zyx.:http:80", ".xyz"},
      {"moc.rekcart.www.:https:443", ".www.tracker.com"},
      {"moc.rekcart", "tracker.com"},
      {":http:80", ""},
      {"", ""},
  };
  for (auto c : cases) { ScopeToSite(&c.scope); EXPECT_EQ(c.scope, c.site); }
}

TEST_F(FirefoxStorage, BothTablesAreScannedAndCleaned) {
  MakeStorageDb(kWebappsstoreSchemaOld);
  AddOld("webappsstore", "tracker.com", "k'1", "v\xE9");
  AddOld("webappsstore", "news.example", "k", "v");
  AddOld("webappsstore2", "moc.rekcart.:http:80", "a", "1");
  AddOld("webappsstore2", "moc.rekcart.:http:80", "b", "2");
  AddOld("webappsstore2", "elpmaxe.swen.:http:80", "c", "3");
  AddOld("webappsstore2", "ten.sda.x", "d", std::nullopt);
  ASSERT_EQ(ScanStorage(), 4);
  EXPECT_EQ(storage_[0].m_strSite, L"tracker.com");
  EXPECT_EQ(storage_[0].m_strName, L"k'1");
  EXPECT_EQ(storage_[0].m_strValue, WideFromBytes("v\xE9"));
  EXPECT_EQ(storage_[0].GetExpires(), L"Unknown");
  EXPECT_EQ(storage_[1].m_strSite, L".tracker.com");
  EXPECT_EQ(storage_[1].m_strName, L"a");
  EXPECT_EQ(storage_[2].m_strName, L"b");
  EXPECT_EQ(storage_[3].m_strSite, L"x.ads.net");
  EXPECT_EQ(storage_[3].m_strValue, L"(null)");

  EXPECT_EQ(CleanStorage(), 4);
  EXPECT_EQ(StorageRows("webappsstore"), std::vector<std::string>{"news.example|k|v|0|"});
  EXPECT_EQ(StorageRows("webappsstore2"),
            std::vector<std::string>{"elpmaxe.swen.:http:80|c|3|0|"});
}

TEST_F(FirefoxStorage, EachKeyOfAScopeGoesAndCountsByItsOwnDelete) {
  MakeStorageDb(kWebappsstoreSchemaOld);
  AddOld("webappsstore2", "moc.rekcart.:http:80", "a", "1");
  AddOld("webappsstore2", "moc.rekcart.:http:80", "b", "2");
  AddOld("webappsstore2", "elpmaxe.swen.:http:80", "a", "3");
  EXPECT_EQ(CleanStorage(), 2);
  EXPECT_EQ(StorageRows("webappsstore2"), std::vector<std::string>{"elpmaxe.swen.:http:80|a|3|0|"});
}

TEST_F(FirefoxStorage, OneTableMissingLeavesTheOtherToBeHandled) {
  MakeStorageDb(kWebappsstoreSchemaCurrent);
  AddCurrent("", "moc.rekcart.:https:443", "k", "v");
  AddCurrent("", "elpmaxe.:https:443", "k", "v");
  EXPECT_EQ(ScanStorage(), 1);
  EXPECT_EQ(CleanStorage(), 1);
  EXPECT_EQ(StorageRows("webappsstore2").size(), 1u);
  EXPECT_EQ(Snapshot(profile_, kProfile).size(), 1u);  // WAL files gone again
}

TEST_F(FirefoxStorage, RowsOfTheSameScopeAndKeyInOtherOriginsGoWithOneDelete) {
  MakeStorageDb(kWebappsstoreSchemaCurrent);
  AddCurrent("", "moc.rekcart.:https:443", "k", "1");
  AddCurrent("^privateBrowsingId=1", "moc.rekcart.:https:443", "k", "2");
  AddCurrent("^userContextId=2", "moc.rekcart.:https:443", "other", "3");
  EXPECT_EQ(ScanStorage(), 3);
  EXPECT_EQ(CleanStorage(), 3);
  EXPECT_TRUE(StorageRows("webappsstore2").empty());
}

TEST_F(FirefoxStorage, EveryProfileIsVisitedAndTheCountsAddUp) {
  profile_.Write(std::string(kFirefox) + "profiles.ini",
                 std::string(kRelativeIni) + "[Profile1]\nIsRelative=1\nPath=Profiles/second\n");
  MakeStorageDb(kWebappsstoreSchemaOld);
  AddOld("webappsstore", ".ads.net", "k", "v");
  AddOld("webappsstore2", "moc.rekcart.:http:80", "a", "1");
  const std::string second = std::string(kFirefox) + "Profiles/second/webappsstore.sqlite";
  profile_.MakeDir(std::string(kFirefox) + "Profiles/second");
  {
    TestDb db(profile_.Path(second));
    db.Exec(kWebappsstoreSchemaOld);
    db.Exec("INSERT INTO webappsstore2 VALUES ('ten.sda.:http:80', 'z', 'v', 0, '')");
  }
  ASSERT_EQ(ScanStorage(), 3);
  EXPECT_EQ(storage_[2].m_strName, L"z");
  EXPECT_EQ(CleanStorage(), 3);
  EXPECT_EQ(ScanStorage(), 0);
}

// ---- Profiles under user folders whose names are not ASCII

TEST(FirefoxUserFolders, ProfilesUnderNonAsciiUserFoldersAreFoundAndCleaned) {
  for (const char* user : {"Users/Jos\xC3\xA9", "Users/\xD0\x9F\xD1\x91\xD1\x82\xD1\x80"}) {
    SCOPED_TRACE(user);
    TempTree tree;
    const std::string root = std::string(user) + "/";
    tree.Write(root + kFirefox + "profiles.ini", kRelativeIni);
    tree.Write(root + kProfile + "cookies.txt", CookieLine(".tracker.com", "t"));
    {
      TestDb db(tree.Path(root + kProfile + "cookies.sqlite"));
      db.Exec(kFirefoxCookieSchema);
      db.Exec("INSERT INTO moz_cookies (name, value, host, path, expiry) "
              "VALUES ('d', 'v', '.ads.net', '/', 0), ('k', 'v', 'news.example', '/', 0)");
    }
    {
      TestDb db(tree.Path(root + kProfile + "webappsstore.sqlite"));
      db.Exec(kWebappsstoreSchemaOld);
      db.Exec("INSERT INTO webappsstore2 VALUES ('moc.rekcart.:http:80', 'k', 'v', 0, '')");
    }
    ProfileAt at(tree, user);
    const CCookieFilter filter(L"*.tracker.com\n*.ads.net\n");
    CFirefoxCookieArray cookies;
    CFirefoxUserdataArray storage;
    EXPECT_EQ(ProcessFirefoxCookies(filter, cookies, false), 2);
    EXPECT_EQ(ProcessFirefoxUserdata(filter, storage, false), 1);
    cookies.clear();
    storage.clear();
    EXPECT_EQ(ProcessFirefoxCookies(filter, cookies, true), 2);
    EXPECT_EQ(ProcessFirefoxUserdata(filter, storage, true), 1);
    EXPECT_EQ(ProcessFirefoxCookies(filter, cookies, false), 0);
    EXPECT_EQ(ProcessFirefoxUserdata(filter, storage, false), 0);
    // Only the three files remain in the profile: nothing was created anywhere else.
    const auto files = Snapshot(tree, root + kProfile);
    EXPECT_EQ(files.size(), 3u);
    EXPECT_EQ(files.at("cookies.txt"), "");
  }
}

}  // namespace

TEST_F(Firefox, CookieFileCleanWritesKeptRecordsBackByteForByte) {
  const std::string kept = CookieLine("keep.example", "k", std::string("\x1A" "a\rb\0\xFF\x80", 7));
  profile_.Write(InProfile("cookies.txt"), CookieLine(".tracker.com", "a") + kept + CookieLine("x.ads.net", "b"));
  ASSERT_EQ(ScanCookies(), 2);
  EXPECT_EQ(CleanCookies(), 2);
  EXPECT_EQ(profile_.Read(InProfile("cookies.txt")), kept);
}

TEST_F(Firefox, PathsToOneFolderAreOneProfile) {
  const struct {
    std::vector<std::string> paths;  // relative ones, after kFirefox
    size_t profiles;
  } cases[] = {
      {{"Profiles/abcd1234.default", "profiles/ABCD1234.default", "Profiles//abcd1234.default", "Profiles\\abcd1234.default", "PROFILES/abcd1234.DEFAULT/"}, 1},
      {{"Profiles/abcd1234.default", "Profiles/other"}, 2},
  };
  profile_.MakeDir(std::string(kFirefox) + "Profiles/other");
  profile_.Write(InProfile("cookies.txt"), CookieLine(".tracker.com", "a") + CookieLine("ads.net", "b"));
  for (const auto& c : cases) {
    std::string ini;
    for (size_t i = 0; i < c.paths.size(); ++i) ini += "[Profile" + std::to_string(i) + "]\nIsRelative=1\nPath=" + c.paths[i] + "\n";
    profile_.Write(std::string(kFirefox) + "profiles.ini", ini);
    EXPECT_EQ(FirefoxProfileFolders().size(), c.profiles) << ini;
    EXPECT_EQ(ScanCookies(), 2) << ini;
  }
}
