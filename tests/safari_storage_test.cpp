// Safari databases and local storage on real SQLite files with Safari's schemas.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "sqlite3.h"
#include "stores/stores.h"
#include "support/temp_tree.h"

namespace {

const std::string kSafari = std::string(TempProfile::kLocalAppData) + "/Apple Computer/Safari/";
const std::string kDatabases = kSafari + "Databases/";
const std::string kLocalStorage = kSafari + "LocalStorage/";

// The index schema of Safari's database tracker.
const char kIndexSchema[] =
    "CREATE TABLE Origins (origin TEXT UNIQUE ON CONFLICT REPLACE, "
    "quota INTEGER NOT NULL ON CONFLICT FAIL);"
    "CREATE TABLE Databases (guid INTEGER PRIMARY KEY AUTOINCREMENT, origin TEXT, name TEXT, "
    "displayName TEXT, estimatedSize INTEGER, path TEXT);"
    "CREATE INDEX origin_index ON Databases (origin);"
    "CREATE UNIQUE INDEX unique_database_path ON Databases (origin, name);";
// A page database as Safari creates it, with the table a page script made.
const char kPageSchema[] =
    "CREATE TABLE __WebKitDatabaseInfoTable__ (key TEXT NOT NULL ON CONFLICT FAIL UNIQUE ON "
    "CONFLICT REPLACE, value TEXT NOT NULL ON CONFLICT FAIL);"
    "INSERT INTO __WebKitDatabaseInfoTable__ VALUES ('WebKitDatabaseVersionKey', '1.0');";
const char kLocalStorageSchema[] =
    "CREATE TABLE ItemTable (key TEXT UNIQUE ON CONFLICT REPLACE, value BLOB NOT NULL ON CONFLICT FAIL);";

// Creates (or opens) a database and runs `sql` in it.
void Sql(const TempTree& tree, const std::string& relative, const std::string& sql) {
  std::filesystem::create_directories(tree.Native(relative).parent_path());
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(platform::PathForSqlite(tree.Path(relative)).c_str(), &db,
                            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr),
            SQLITE_OK);
  char* error = nullptr;
  const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
  EXPECT_EQ(rc, SQLITE_OK) << (error != nullptr ? error : "") << " in " << sql;
  sqlite3_free(error);
  sqlite3_close(db);
}

// The rows of a one-column query, as text.
std::vector<std::string> Column(const TempTree& tree, const std::string& relative, const std::string& sql) {
  std::vector<std::string> values;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(platform::PathForSqlite(tree.Path(relative)).c_str(), &db, SQLITE_OPEN_READONLY,
                      nullptr) == SQLITE_OK) {
    sqlite3_stmt* rows = nullptr;
    sqlite3_prepare_v2(db, sql.c_str(), -1, &rows, nullptr);
    while (rows != nullptr && sqlite3_step(rows) == SQLITE_ROW) {
      const auto* cell = reinterpret_cast<const char*>(sqlite3_column_text(rows, 0));
      values.push_back(cell ? cell : "NULL");
    }
    sqlite3_finalize(rows);
  }
  sqlite3_close(db);
  return values;
}

// A text as an SQL string literal.
std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("''") : std::string(1, c);
  return quoted + "'";
}

// The Safari folder as the store names it.
std::wstring SafariFolder() {
  std::wstring base;
  platform::GetKnownFolder(platform::KnownFolder::LocalAppData, &base);
  return base + L"\\Apple Computer\\Safari\\";
}

// Every file below the Safari folder with its content.
std::vector<std::pair<std::string, std::string>> Snapshot(const TempTree& tree) {
  std::vector<std::pair<std::string, std::string>> files;
  if (!tree.Exists(kSafari)) return files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(tree.Native(kSafari))) {
    if (!entry.is_regular_file()) continue;
    const std::string relative = std::filesystem::relative(entry.path(), tree.root()).generic_string();
    files.emplace_back(relative, tree.Read(relative));
  }
  std::sort(files.begin(), files.end());
  return files;
}

class SafariStorage : public testing::Test {
 protected:
  void SetUp() override { Sql(profile_, kDatabases + "Databases.db", kIndexSchema); }

  // An index row and, unless `file` is false, its page database with persist_data rows.
  void AddDatabase(const std::string& origin, const std::string& name, const std::string& path,
                   int pairs, bool file = true) {
    Sql(profile_, kDatabases + "Databases.db",
        "INSERT INTO Origins VALUES (" + Quote(origin) + ", 5242880);"
        "INSERT INTO Databases (origin, name, displayName, estimatedSize, path) VALUES (" +
            Quote(origin) + ", " + Quote(name) + ", " + Quote("Shown " + name) + ", 1024, " + Quote(path) + ");");
    if (!file) return;
    std::string sql = kPageSchema;
    if (pairs >= 0) sql += "CREATE TABLE persist_data (k TEXT UNIQUE NOT NULL PRIMARY KEY, v TEXT NOT NULL);";
    for (int i = 0; i < pairs; ++i) {
      sql += "INSERT INTO persist_data VALUES ('k" + std::to_string(100 + i) + "', 'v" + std::to_string(i) + "');";
    }
    Sql(profile_, kDatabases + origin + "/" + path, sql);
  }

  int Scan() {
    found_.clear();
    return ProcessSafariUserdata(filter_, found_, false);
  }
  int Clean() {
    CSafariUserdataArray scratch;
    const int count = ProcessSafariUserdata(filter_, scratch, true);
    EXPECT_TRUE(scratch.empty());
    return count;
  }
  std::vector<std::string> IndexOrigins() {
    return Column(profile_, kDatabases + "Databases.db", "SELECT origin FROM Databases ORDER BY guid");
  }

  TempProfile profile_;
  CCookieFilter filter_{L"*.tracker.com\n*.ads.net\n"};
  CSafariUserdataArray found_;
};

}  // namespace

TEST_F(SafariStorage, ScanDescribesEvilDatabasesAndChangesNothing) {
  AddDatabase("http_www.tracker.com_0", "prefs", "0000000000000001.db", 2);
  AddDatabase("http_example.org_0", "notes", "0000000000000002.db", 1);
  AddDatabase("https_x.ads.net_0", "nopersist", "0000000000000003.db", -1);
  AddDatabase("http_x.ads.net", "nosecond", "0000000000000004.db", 1);  // no second "_"
  AddDatabase("file__0", "local", "0000000000000005.db", 1);              // an empty site
  const auto before = Snapshot(profile_);
  EXPECT_EQ(Scan(), 2);
  ASSERT_EQ(found_.size(), 2u);
  EXPECT_EQ(found_[0].m_strSite, L"www.tracker.com");
  EXPECT_EQ(found_[0].m_strName, L"prefs: Shown prefs");
  EXPECT_EQ(found_[0].m_strValue, L"k100=v0, k101=v1");
  EXPECT_EQ(found_[0].GetExpires(), L"Unknown");
  EXPECT_EQ(found_[1].m_strSite, L"x.ads.net");
  const std::wstring path = SafariFolder() + L"Databases\\https_x.ads.net_0\\0000000000000003.db";
  EXPECT_EQ(found_[1].m_strValue, path);
  EXPECT_EQ(Snapshot(profile_), before);
}

TEST_F(SafariStorage, ValuesShowAtMost31PairsAndEmptyTablesShowNothing) {
  AddDatabase("http_a.tracker.com_0", "many", "1.db", 40);
  AddDatabase("http_b.tracker.com_0", "none", "2.db", 0);
  Sql(profile_, kDatabases + "http_c.tracker.com_0/3.db", "");
  AddDatabase("http_c.tracker.com_0", "nulls", "3.db", -1, false);
  Sql(profile_, kDatabases + "http_c.tracker.com_0/3.db",
      "CREATE TABLE persist_data (k TEXT, v BLOB);"
      "INSERT INTO persist_data VALUES (NULL, X'61620063');"
      "INSERT INTO persist_data VALUES ('caf\xc3\xa9', 'x''y');");
  EXPECT_EQ(Scan(), 3);
  ASSERT_EQ(found_.size(), 3u);
  std::wstring expected;
  for (int i = 0; i < 31; ++i) {
    if (i > 0) expected += L", ";
    expected += L"k" + std::to_wstring(100 + i) + L"=v" + std::to_wstring(i);
  }
  EXPECT_EQ(found_[0].m_strValue, expected);
  EXPECT_EQ(found_[1].m_strValue, L"");
  // NULL reads "(null)", a cell stops at its first zero byte, bytes widen one by one.
  EXPECT_EQ(found_[2].m_strValue, L"(null)=ab, caf\u00c3\u00a9=x'y");
}

TEST_F(SafariStorage, AMissingDatabaseGivesNoItemAndIsNotCreated) {
  AddDatabase("http_www.tracker.com_0", "gone", "0000000000000001.db", 0, false);
  profile_.MakeDir(kDatabases + "http_www.tracker.com_0");
  AddDatabase("http_x.ads.net_0", "gone too", "0000000000000002.db", 0, false);
  EXPECT_EQ(Scan(), 0);
  EXPECT_FALSE(profile_.Exists(kDatabases + "http_www.tracker.com_0/0000000000000001.db"));
  EXPECT_FALSE(profile_.Exists(kDatabases + "http_x.ads.net_0"));
  // The clean never opens the page databases: their rows go all the same.
  EXPECT_EQ(Clean(), 2);
  EXPECT_TRUE(IndexOrigins().empty());
  EXPECT_FALSE(profile_.Exists(kDatabases + "http_www.tracker.com_0"));
}

TEST_F(SafariStorage, CleanDeletesEvilRowsAndTheirOriginFoldersInOneStep) {
  AddDatabase("http_www.tracker.com_0", "one", "0000000000000001.db", 1);
  AddDatabase("http_www.tracker.com_0", "two", "0000000000000002.db", 1);
  AddDatabase("http_example.org_0", "notes", "0000000000000003.db", 1);
  AddDatabase("http_it's.ads.net_0", "quote", "0000000000000004.db", 1);
  const std::string harmless = profile_.Read(kDatabases + "http_example.org_0/0000000000000003.db");
  EXPECT_EQ(Clean(), 3);
  EXPECT_EQ(IndexOrigins(), (std::vector<std::string>{"http_example.org_0"}));
  EXPECT_FALSE(profile_.Exists(kDatabases + "http_www.tracker.com_0"));
  EXPECT_FALSE(profile_.Exists(kDatabases + "http_it's.ads.net_0"));
  EXPECT_EQ(profile_.Read(kDatabases + "http_example.org_0/0000000000000003.db"), harmless);
  EXPECT_FALSE(profile_.Exists(kDatabases + "Databases.db-journal"));
  EXPECT_EQ(Scan(), 0);
  EXPECT_EQ(Clean(), 0);
}

TEST_F(SafariStorage, ALockedIndexDeletesNothingAndKeepsTheFolders) {
  AddDatabase("http_www.tracker.com_0", "one", "1.db", 1);
  sqlite3* holder = nullptr;
  ASSERT_EQ(sqlite3_open_v2(platform::PathForSqlite(profile_.Path(kDatabases + "Databases.db")).c_str(),
                            &holder, SQLITE_OPEN_READWRITE, nullptr),
            SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  EXPECT_EQ(Clean(), 0);
  EXPECT_EQ(sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(holder);
  EXPECT_EQ(IndexOrigins(), (std::vector<std::string>{"http_www.tracker.com_0"}));
  EXPECT_TRUE(profile_.Exists(kDatabases + "http_www.tracker.com_0/1.db"));
}

TEST_F(SafariStorage, ARowNeverCommittedAsDeletedKeepsItsFolder) {
  AddDatabase("http_www.tracker.com_0", "one", "1.db", 1);
  // The index has a second name, so the clean never writes it and removes nothing.
  std::filesystem::create_hard_link(profile_.Native(kDatabases + "Databases.db"),
                                    profile_.Native(kDatabases + "index-copy.db"));
  EXPECT_EQ(Clean(), 0);
  EXPECT_EQ(IndexOrigins(), (std::vector<std::string>{"http_www.tracker.com_0"}));
  EXPECT_TRUE(profile_.Exists(kDatabases + "http_www.tracker.com_0/1.db"));
}

TEST_F(SafariStorage, AnOriginThatLeavesTheDatabaseFolderIsNeverDeleted) {
  profile_.Write("Documents/letter.txt", "precious");
  AddDatabase("http_www.tracker.com_0/../../../../../Documents", "x", "1.db", 0, false);
  EXPECT_EQ(Clean(), 1);
  EXPECT_EQ(profile_.Read("Documents/letter.txt"), "precious");
}

TEST_F(SafariStorage, AWalIndexLeavesNoJournalFilesBehind) {
  Sql(profile_, kDatabases + "Databases.db", "PRAGMA journal_mode=WAL;");
  AddDatabase("http_www.tracker.com_0", "one", "1.db", 1);
  EXPECT_EQ(Scan(), 1);
  EXPECT_FALSE(profile_.Exists(kDatabases + "Databases.db-wal"));
  EXPECT_FALSE(profile_.Exists(kDatabases + "Databases.db-shm"));
  EXPECT_EQ(Clean(), 1);
  EXPECT_FALSE(profile_.Exists(kDatabases + "Databases.db-wal"));
  EXPECT_FALSE(profile_.Exists(kDatabases + "Databases.db-shm"));
  EXPECT_TRUE(IndexOrigins().empty());
}

TEST_F(SafariStorage, NoIndexIsNeitherCreatedNorAnObstacleToLocalStorage) {
  std::filesystem::remove(profile_.Native(kDatabases + "Databases.db"));
  Sql(profile_, kLocalStorage + "http_www.tracker.com_0.localstorage",
      std::string(kLocalStorageSchema) + "INSERT INTO ItemTable VALUES ('id', '42');");
  EXPECT_EQ(Scan(), 1);
  EXPECT_EQ(Clean(), 1);
  EXPECT_FALSE(profile_.Exists(kDatabases + "Databases.db"));
}

TEST_F(SafariStorage, LocalStorageFilesAreDescribedAndDeleted) {
  Sql(profile_, kLocalStorage + "https_www.tracker.com_0.localstorage",
      std::string(kLocalStorageSchema) +
          "INSERT INTO ItemTable VALUES ('visits', '3');"
          "INSERT INTO ItemTable VALUES ('utf16', X'680069');");
  Sql(profile_, kLocalStorage + "http_x.ads.net_0.localstorage", kLocalStorageSchema);
  Sql(profile_, kLocalStorage + "http_y.ads.net_0.localstorage", "CREATE TABLE other (a);");
  Sql(profile_, kLocalStorage + "http_example.org_0.localstorage", kLocalStorageSchema);
  Sql(profile_, kLocalStorage + "http_z.ads.net.localstorage", kLocalStorageSchema);
  profile_.Write(kLocalStorage + "http_w.ads.net_0.localstorage-journal", "");
  const auto before = Snapshot(profile_);
  EXPECT_EQ(Scan(), 3);
  ASSERT_EQ(found_.size(), 3u);
  EXPECT_EQ(found_[0].m_strSite, L"www.tracker.com");
  EXPECT_EQ(found_[0].m_strName, SafariFolder() + L"LocalStorage\\https_www.tracker.com_0.localstorage");
  EXPECT_EQ(found_[0].m_strValue, L"visits=3, utf16=h");
  EXPECT_EQ(found_[1].m_strValue, L"");
  EXPECT_EQ(found_[2].m_strValue, L"?");
  EXPECT_EQ(Snapshot(profile_), before);

  EXPECT_EQ(Clean(), 3);
  EXPECT_FALSE(profile_.Exists(kLocalStorage + "https_www.tracker.com_0.localstorage"));
  EXPECT_FALSE(profile_.Exists(kLocalStorage + "http_x.ads.net_0.localstorage"));
  EXPECT_FALSE(profile_.Exists(kLocalStorage + "http_y.ads.net_0.localstorage"));
  EXPECT_TRUE(profile_.Exists(kLocalStorage + "http_example.org_0.localstorage"));
  EXPECT_TRUE(profile_.Exists(kLocalStorage + "http_z.ads.net.localstorage"));
  EXPECT_TRUE(profile_.Exists(kLocalStorage + "http_w.ads.net_0.localstorage-journal"));
}

TEST_F(SafariStorage, EveryItemNamesThePatternThatFoundIt) {
  filter_ = CCookieFilter(L"*.tracker.com\n*.ads.+\n");
  for (const char* origin : {"http_www.tracker.com_0", "http_x.ads.org_0", "http_www.tracker.com_1"}) AddDatabase(origin, origin, "1.db", 1);
  for (const char* file : {"http_x.ads.net_0", "http_y.tracker.com_0"}) Sql(profile_, kLocalStorage + file + ".localstorage", kLocalStorageSchema);
  ASSERT_EQ(Scan(), 5);
  std::vector<std::wstring> rules;
  for (const CSafariUserdata& item : found_) rules.push_back(item.GetRule());
  EXPECT_EQ(rules, (std::vector<std::wstring>{L"*.tracker.com", L"*.ads.+", L"*.tracker.com", L"*.ads.+", L"*.tracker.com"}));
}

TEST(SafariOrigin, TheSiteLiesBetweenTheFirstTwoUnderscores) {
  CSafariUserdata item;
  EXPECT_TRUE(item.SetSiteFromOrigin(L"http_example.com_0"));
  EXPECT_EQ(item.m_strSite, L"example.com");
  EXPECT_TRUE(item.SetSiteFromOrigin(L"https_www.example.com_0.localstorage"));
  EXPECT_EQ(item.m_strSite, L"www.example.com");
  EXPECT_FALSE(item.SetSiteFromOrigin(L"http_example.com"));
  EXPECT_EQ(item.m_strSite, L"www.example.com");
  EXPECT_FALSE(item.SetSiteFromOrigin(L"file__0"));
  EXPECT_EQ(item.m_strSite, L"");
  EXPECT_FALSE(item.SetSiteFromOrigin(L""));
}
