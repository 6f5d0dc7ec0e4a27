// SQLite access: the owners of SQLite's handles, and the database step
// on a store table of its own, including databases locked by another process.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>

#include "platform/platform.h"
#include "sqlite3.h"
#include "sqlite_support.h"
#include "stores/sqlite/database_step.h"
#include "text/textfile.h"
#include "support/temp_tree.h"

using sqlite_access::Database;
using sqlite_access::Row;
using sqlite_access::SqlText;
using sqlite_access::Statement;

namespace {

// ---- Owners of SQLite's handles

class SqliteHandles : public testing::Test {
 protected:
  std::wstring MakeDb(const std::string& relative) {
    TestDb db(tree_.Path(relative));
    db.Exec("CREATE TABLE t(a TEXT, b TEXT); INSERT INTO t VALUES('x', NULL), ('it''s', 'y');");
    return tree_.Path(relative);
  }
  // True when a fresh connection can take the write lock of the database at once.
  static bool Writable(const std::wstring& path) {
    Database db;
    return db.OpenExisting(path) && db.Execute("BEGIN EXCLUSIVE") && db.Execute("ROLLBACK");
  }

  TempTree tree_;
};

TEST_F(SqliteHandles, OpenExistingNeverCreatesAFile) {
  Database db;
  EXPECT_FALSE(db.OpenExisting(tree_.Path("missing.sqlite")));
  EXPECT_FALSE(db.is_open());
  EXPECT_FALSE(tree_.Exists("missing.sqlite"));
  EXPECT_FALSE(db.OpenExisting(tree_.Path("no/such/folder/Cookies")));
  EXPECT_FALSE(tree_.Exists("no"));
  tree_.MakeDir("folder");
  EXPECT_FALSE(db.OpenExisting(tree_.Path("folder")));
  EXPECT_TRUE(db.OpenExisting(MakeDb("real.sqlite")));
  EXPECT_TRUE(db.is_open());
}

TEST_F(SqliteHandles, DatabaseMovesAndMoveAssignmentClosesTheOldConnection) {
  const std::wstring first = MakeDb("first.sqlite");
  const std::wstring second = MakeDb("second.sqlite");
  Database a;
  ASSERT_TRUE(a.OpenExisting(first));
  ASSERT_TRUE(a.Execute("BEGIN EXCLUSIVE"));
  EXPECT_FALSE(Writable(first));

  Database moved(std::move(a));
  EXPECT_FALSE(a.is_open());  // NOLINT(bugprone-use-after-move): moved-from state is specified
  EXPECT_TRUE(moved.InTransaction());
  EXPECT_FALSE(Writable(first));

  Database b;
  ASSERT_TRUE(b.OpenExisting(second));
  moved = std::move(b);  // closes the connection to `first`, rolling back its lock
  EXPECT_TRUE(Writable(first));
  EXPECT_TRUE(moved.is_open());
  EXPECT_FALSE(b.is_open());  // NOLINT(bugprone-use-after-move)

  ASSERT_TRUE(moved.Execute("BEGIN EXCLUSIVE"));
  EXPECT_FALSE(Writable(second));
  moved.Close();
  EXPECT_TRUE(Writable(second));
  moved.Close();  // closing twice does nothing
}

TEST_F(SqliteHandles, OpeningAgainClosesTheConnectionHeldBefore) {
  const std::wstring first = MakeDb("first.sqlite");
  Database db;
  ASSERT_TRUE(db.OpenExisting(first));
  ASSERT_TRUE(db.Execute("BEGIN EXCLUSIVE"));
  EXPECT_FALSE(db.OpenExisting(tree_.Path("missing.sqlite")));
  EXPECT_FALSE(db.is_open());
  EXPECT_TRUE(Writable(first));
}

TEST_F(SqliteHandles, StatementStepsRowsWithNullCellsAndMoves) {
  Database db;
  ASSERT_TRUE(db.OpenExisting(MakeDb("t.sqlite")));
  Statement rows;
  ASSERT_TRUE(rows.Prepare(db, "SELECT a, b FROM t ORDER BY rowid"));
  ASSERT_EQ(rows.Step(), Statement::StepResult::kRow);
  EXPECT_STREQ(rows.ColumnText(0), "x");
  EXPECT_EQ(Row(rows, 0).Text(1), L"(null)");
  Statement moved(std::move(rows));
  EXPECT_FALSE(rows.is_prepared());  // NOLINT(bugprone-use-after-move)
  ASSERT_EQ(moved.Step(), Statement::StepResult::kRow);  // on from where the first one stood
  EXPECT_EQ(Row(moved, 1).Text(-1), L"it's");
  Statement other;
  ASSERT_TRUE(other.Prepare(db, "SELECT a FROM t"));
  other = std::move(moved);  // finalizes the statement held before
  EXPECT_EQ(other.Step(), Statement::StepResult::kDone);
  EXPECT_FALSE(other.Prepare(db, "SELECT a FROM no_such_table"));
  EXPECT_FALSE(other.is_prepared());
}

// A read begun with BeginRead sees one state of the database until it ends, and
// never holds more than a read lock.
TEST_F(SqliteHandles, BeginReadHoldsOneStateOfTheDatabaseUntilItEnds) {
  struct Case {
    const char* journal;
    bool writer_commits;  // whether another connection's DELETE commits meanwhile
  };
  for (const Case& c : {Case{"PRAGMA journal_mode=DELETE", false}, Case{"PRAGMA journal_mode=WAL", true}}) {
    const std::wstring path = MakeDb(std::string(c.journal).substr(20) + ".sqlite");
    TestDb(path).Exec(c.journal);
    Database reader, writer;
    // The writer's read leaves a WAL database its -wal file: the reader is not immutable.
    ASSERT_TRUE(writer.OpenExisting(path) && writer.Execute("SELECT count(*) FROM t"));
    ASSERT_TRUE(reader.OpenExisting(path, Database::Access::kRead) && reader.BeginRead()) << c.journal;
    EXPECT_EQ(writer.Execute("DELETE FROM t"), c.writer_commits) << c.journal;
    Statement count;
    ASSERT_TRUE(count.Prepare(reader, "SELECT count(*) FROM t") && count.Step() == Statement::StepResult::kRow);
    EXPECT_EQ(count.ColumnInt64(0), 2) << c.journal;
    count = Statement();
    ASSERT_TRUE(reader.Execute("COMMIT"));
    EXPECT_TRUE(Writable(path)) << c.journal;
  }
}

TEST_F(SqliteHandles, SqlTextQuotesAndMoves) {
  SqlText text(sqlite3_mprintf("name='%q'", "it's"));
  ASSERT_TRUE(text);
  EXPECT_STREQ(text.get(), "name='it''s'");
  SqlText moved(std::move(text));
  EXPECT_FALSE(text);  // NOLINT(bugprone-use-after-move)
  SqlText other(sqlite3_mprintf("x"));
  other = std::move(moved);
  EXPECT_STREQ(other.get(), "name='it''s'");
  EXPECT_FALSE(SqlText());
}

// ---- The database step on a table of its own

void FillEntry(const Row& row, CFirefoxUserdata* item) {
  item->m_strName = row.Text(1);
  item->m_strValue = row.Text(2);
}

class DatabaseStep : public testing::Test {
 protected:
  DatabaseStep() { tree_.MakeDir("locks"); }

  std::wstring Db() const { return tree_.Path("db/store.sqlite"); }
  void Create(const std::string& before = "") {
    tree_.MakeDir("db");
    TestDb db(Db());
    db.Exec(before + "CREATE TABLE entries(site TEXT, name TEXT, value TEXT);");
  }
  void Add(const Cell& site, const Cell& name, const Cell& value) {
    TestDb db(Db());
    db.Run("INSERT INTO entries VALUES(?, ?, ?)", {site, name, value});
  }
  // Three evil rows among five.
  void CreateMixed(const std::string& before = "") {
    Create(before);
    Add(".tracker.com", "a", "1");
    Add("news.example", "b", "2");
    Add("x.tracker.com", "c", "3");
    Add(".ads.net", "d", "4");
    Add("shop.example", "e", "5");
  }
  std::vector<std::string> Rows() {
    TestDb db(Db());
    return db.Rows("SELECT * FROM entries ORDER BY rowid");
  }
  // Counts the items it fills in filled_.
  int Step(CFirefoxUserdataArray& items, bool clean, int columns = 3,
           const sqlite_access::SiteOf& site = sqlite_access::SiteColumns({0}),
           const char* select = "SELECT site, name, value FROM entries") {
    return sqlite_access::DatabaseStep<CFirefoxUserdata>(
        Db(), filter_, items, clean,
        {{select, columns, site, [this](const Row& row, CFirefoxUserdata* item) { ++filled_, FillEntry(row, item); }}});
  }
  int Scan() {
    found_.clear();
    return Step(found_, false);
  }
  int Clean() {
    CFirefoxUserdataArray unused;
    const int count = Step(unused, true);
    EXPECT_TRUE(unused.empty());
    return count;
  }

  TempTree tree_;
  CCookieFilter filter_{L"*.tracker.com\n*.ads.net\n"};
  CFirefoxUserdataArray found_;
  int filled_ = 0;
};

TEST_F(DatabaseStep, ScanListsEvilRowsInOrderAndChangesNothing) {
  CreateMixed();
  const auto before = Snapshot(tree_, "db");
  EXPECT_EQ(Scan(), 3);
  ASSERT_EQ(found_.size(), 3u);
  EXPECT_EQ(found_[0].m_strSite, L".tracker.com");
  EXPECT_EQ(found_[1].m_strName, L"c");
  EXPECT_EQ(found_[2].m_strValue, L"4");
  EXPECT_EQ(found_[2].GetExpires(), L"Unknown");
  EXPECT_EQ(Snapshot(tree_, "db"), before);
}

TEST_F(DatabaseStep, OnlyEvilRowsBecomeItemsNamedByTheirSiteAndRule) {
  filter_ = CCookieFilter(L"*.tracker.com\n*.ads.+\n");
  const struct {
    const char* what;
    sqlite_access::SiteOf site;
    std::vector<std::wstring> sites;  // of the items, in order
  } cases[] = {
      {"one column", sqlite_access::SiteColumns({0}), {L".tracker.com", L"x.tracker.com", L".ads.net"}},
      {"columns joined", sqlite_access::SiteColumns({1, 0}), {L"a.tracker.com", L"cx.tracker.com", L"d.ads.net"}},
      {"NULL reads (null)", sqlite_access::SiteColumns({0, 3}), {L".ads.net(null)"}},
      {"no site", [](const Row&, std::string*) { return false; }, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(tree_.Native("db"));
    CreateMixed();
    const char* select = "SELECT site, name, value, NULL FROM entries";
    found_.clear();
    filled_ = 0;
    ASSERT_EQ(Step(found_, false, 4, c.site, select), static_cast<int>(c.sites.size()));
    EXPECT_EQ(filled_, static_cast<int>(c.sites.size()));
    for (size_t i = 0; i < c.sites.size(); ++i) {
      EXPECT_EQ(found_[i].m_strSite, c.sites[i]);
      EXPECT_EQ(found_[i].GetRule(), *filter_.Describe(filter_.Find(std::wstring_view(c.sites[i])).value()));
    }
    EXPECT_EQ(Step(found_, true, 4, c.site, select), static_cast<int>(c.sites.size()));
    EXPECT_EQ(Rows().size(), 5 - c.sites.size());
  }
}

TEST(SiteVerdicts, AgreeWithTheFilterAlsoAfterForgettingSites) {
  const CCookieFilter filter(L"*.tracker.com\n*.ads.+\nexact.example\n");
  sqlite_access::SiteVerdicts<std::wstring> verdicts(filter);
  const auto rule = [](const std::optional<CCookieFilter::Rule>& found) { return found ? int(found->index) : -1; };
  const size_t sites = 2 * sqlite_access::SiteVerdicts<std::string>::kMaxSites + 7;
  for (size_t i = 0; i < 2 * sites; ++i) {  // each site twice, more than the kept number of others between
    const std::string n = std::to_string(i % sites);
    const std::string site = std::vector<std::string>{n + ".tracker.com", "ads." + n, "exact.example", n + ".news.example"}[i % 4];
    EXPECT_EQ(rule(verdicts.Find(WideFromBytes(site))), rule(filter.Find(std::string_view(site)))) << site;
  }
}

TEST_F(DatabaseStep, CleanDeletesExactlyTheEvilRows) {
  CreateMixed();
  EXPECT_EQ(Clean(), 3);
  EXPECT_EQ(Rows(), (std::vector<std::string>{"news.example|b|2", "shop.example|e|5"}));
  EXPECT_EQ(Clean(), 0);
  EXPECT_EQ(Scan(), 0);
  // Nothing but the database is left in its folder (no journal).
  EXPECT_EQ(Snapshot(tree_, "db").size(), 1u);
}

TEST_F(DatabaseStep, QuotesAndNonAsciiBytesReachTheItemByteForByteAndTheDeleteFindsThem) {
  Create();
  const std::string utf8 = "caf\xC3\xA9";        // "café" in UTF-8
  const std::string latin1 = "caf\xE9 '\"x";     // not UTF-8 at all
  const std::string cyrillic = "\xD0\xBA\xD1\x83";  // "ку"
  Add("it's.tracker.com", "O'Brien", "v'1");
  Add(".tracker.com", utf8, latin1);
  Add(".tracker.com", latin1, cyrillic);
  Add("keep.example", "O'Brien", utf8);
  ASSERT_EQ(Scan(), 3);
  EXPECT_EQ(found_[0].m_strSite, L"it's.tracker.com");
  EXPECT_EQ(found_[0].m_strName, L"O'Brien");
  EXPECT_EQ(found_[1].m_strName, WideFromBytes(utf8));
  EXPECT_EQ(found_[1].m_strName, (std::wstring{L'c', L'a', L'f', 0xC3, 0xA9}));
  EXPECT_EQ(found_[1].m_strValue, WideFromBytes(latin1));
  EXPECT_EQ(found_[2].m_strName, WideFromBytes(latin1));
  EXPECT_EQ(BytesFromWide(found_[2].m_strValue), cyrillic);
  EXPECT_EQ(Clean(), 3);
  EXPECT_EQ(Rows(), std::vector<std::string>{"keep.example|O'Brien|" + utf8});
}

TEST_F(DatabaseStep, NullCellsReadAsNullText) {
  Create();
  Add(".tracker.com", std::nullopt, std::nullopt);
  Add(std::nullopt, "n", "v");
  filter_ = CCookieFilter(L"*\n");
  ASSERT_EQ(Scan(), 2);
  EXPECT_EQ(found_[0].m_strName, L"(null)");
  EXPECT_EQ(found_[0].m_strValue, L"(null)");
  EXPECT_EQ(found_[1].m_strSite, L"(null)");
}

TEST_F(DatabaseStep, ZeroRowsYieldNothing) {
  Create();
  EXPECT_EQ(Scan(), 0);
  EXPECT_EQ(Clean(), 0);
  EXPECT_TRUE(found_.empty());
}

TEST_F(DatabaseStep, DuplicateRowsAreRemovedByOneDeleteAndBothCount) {
  Create();
  Add(".tracker.com", "same", "1");
  Add(".tracker.com", "same", "1");
  Add("keep.example", "same", "1");
  EXPECT_EQ(Scan(), 2);
  // The first DELETE removes both rows; the second matches none and counts nothing.
  EXPECT_EQ(Clean(), 2);
  EXPECT_EQ(Rows(), std::vector<std::string>{"keep.example|same|1"});
}

TEST_F(DatabaseStep, AnotherColumnCountSkipsTheTable) {
  CreateMixed();
  EXPECT_EQ(Step(found_, false, 4), 0);
  CFirefoxUserdataArray unused;
  EXPECT_EQ(Step(unused, true, 2), 0);
  EXPECT_EQ(Rows().size(), 5u);
}

TEST_F(DatabaseStep, MissingFileIsNotCreated) {
  EXPECT_EQ(Scan(), 0);
  EXPECT_EQ(Clean(), 0);
  EXPECT_FALSE(tree_.Exists("db"));
  tree_.MakeDir("db");
  EXPECT_EQ(Clean(), 0);
  EXPECT_TRUE(Snapshot(tree_, "db").empty());
}

TEST_F(DatabaseStep, FilesThatAreNotThisDatabaseYieldNothingAndStayAsTheyAre) {
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"empty file", ""},
      {"text", "# Netscape HTTP Cookie File\n.tracker.com\tTRUE\t/\tFALSE\t0\ta\tb\n"},
      {"truncated header", std::string("SQLite format 3\0", 16) + std::string(40, '\xff')},
      {"zeros", std::string(4096, '\0')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    tree_.Write("db/store.sqlite", c.bytes);
    EXPECT_EQ(Scan(), 0);
    EXPECT_EQ(Clean(), 0);
    EXPECT_EQ(Snapshot(tree_, "db"), (std::map<std::string, std::string>{{"store.sqlite", c.bytes}}));
  }
}

TEST_F(DatabaseStep, DatabaseOfAnotherSchemaYieldsNothing) {
  tree_.MakeDir("db");
  {
    TestDb db(Db());
    db.Exec("CREATE TABLE other(site TEXT); INSERT INTO other VALUES('.tracker.com');");
  }
  const auto before = Snapshot(tree_, "db");
  EXPECT_EQ(Scan(), 0);
  EXPECT_EQ(Clean(), 0);
  EXPECT_EQ(Snapshot(tree_, "db"), before);
}

TEST_F(DatabaseStep, ViewsAndEndlessWorkGiveNothingAndChangeNothing) {
  const char* endless = "WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r)";
  const char* rename = "ALTER TABLE entries RENAME TO stored; ";
  const struct {
    const char* what;
    std::string sql;  // run on the mixed database
    int found;        // by a scan; a clean removes nothing
  } cases[] = {
      {"endless recursive view", std::string(rename) + "CREATE VIEW entries AS " + endless +
       " SELECT '.tracker.com', 'a', n FROM r;", 0},
      {"view of a table", std::string(rename) + "CREATE VIEW ENTRIES AS SELECT * FROM stored;", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(tree_.Native("db"));
    CreateMixed();
    TestDb(Db()).Exec(c.sql);
    const auto before = Snapshot(tree_, "db");
    EXPECT_EQ(Scan(), c.found);
    EXPECT_EQ(found_.size(), static_cast<size_t>(c.found));
    EXPECT_EQ(Clean(), 0);
    EXPECT_EQ(Snapshot(tree_, "db"), before);
  }
}

TEST_F(DatabaseStep, WalDatabaseScanLeavesTheFolderAsItWas) {
  CreateMixed("PRAGMA journal_mode=WAL;");
  const auto before = Snapshot(tree_, "db");
  ASSERT_EQ(before.size(), 1u);  // no -wal or -shm once the last connection closed
  EXPECT_EQ(Scan(), 3);
  EXPECT_EQ(Snapshot(tree_, "db"), before);
  EXPECT_EQ(Clean(), 3);
  EXPECT_EQ(Snapshot(tree_, "db").size(), 1u);
  EXPECT_EQ(Rows().size(), 2u);
}

// ---- Locks held by another process

struct LockCase {
  const char* name;
  const char* journal;    // statements run when the database is created
  const char* holder;     // what the other process runs and holds
  int scan;               // what a scan finds meanwhile
  bool clean_succeeds;    // whether a clean meanwhile deletes the evil rows
};

const LockCase kLockCases[] = {
    // Rollback journal: an exclusive lock keeps readers out.
    {"RollbackExclusive", "", "BEGIN EXCLUSIVE", 0, false},
    // A writer between its first change and its commit: reading works, writing not.
    {"RollbackReserved", "", "BEGIN IMMEDIATE", 3, false},
    // A reader: our DELETEs run, but the COMMIT cannot get the exclusive lock.
    {"RollbackReader", "", "BEGIN; SELECT count(*) FROM entries;", 3, false},
    // How Chrome holds its Cookies database while it runs.
    {"RollbackExclusiveLockingMode", "",
     "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; COMMIT;", 0, false},
    // WAL: a writer does not keep readers out, but a second writer.
    {"WalWriter", "PRAGMA journal_mode=WAL;", "BEGIN IMMEDIATE", 3, false},
    // WAL: a reader does not stop a writer.
    {"WalReader", "PRAGMA journal_mode=WAL;", "BEGIN; SELECT count(*) FROM entries;", 3, true},
    {"WalExclusiveLockingMode", "PRAGMA journal_mode=WAL;",
     "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; COMMIT;", 0, false},
};

class LockedDatabase : public DatabaseStep, public testing::WithParamInterface<LockCase> {
 protected:
  // Runs `work` and checks that it did not wait for the lock.
  static int Quick(const std::function<int()>& work) {
    const auto start = std::chrono::steady_clock::now();
    const int result = work();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    return result;
  }
};

TEST_P(LockedDatabase, NeverWaitsAndNeverCountsADeletionThatDidNotHappen) {
  const LockCase& c = GetParam();
  CreateMixed(c.journal);
  {
    LockHolder lock(Db(), c.holder, tree_);
    ASSERT_TRUE(lock.holding());
    EXPECT_EQ(Quick([this] { return Scan(); }), c.scan);
    EXPECT_EQ(Quick([this] { return Clean(); }), c.clean_succeeds ? 3 : 0);
    lock.Release();
  }
  EXPECT_EQ(Rows().size(), c.clean_succeeds ? 2u : 5u);
  // Once the lock is gone, the database cleans normally.
  EXPECT_EQ(Clean(), c.clean_succeeds ? 0 : 3);
  EXPECT_EQ(Rows(), (std::vector<std::string>{"news.example|b|2", "shop.example|e|5"}));
  EXPECT_EQ(Snapshot(tree_, "db").size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Holders, LockedDatabase, testing::ValuesIn(kLockCases),
                         [](const testing::TestParamInfo<LockCase>& param) {
                           return std::string(param.param.name);
                         });

}  // namespace
