// The database step shared by every SQLite store: open one database file, walk
// each of the store's tables with its SELECT a row at a time, ask the filter about
// each row's site, turn only the evil rows into items, and in a clean pass delete
// exactly the evil rows that were read.
//
// Beyond opening, reading and deleting:
//  - the file must exist; it is never created, and the connection distrusts it
//    (Database::OpenExisting: no triggers, no views, bounded sizes);
//  - a scan opens the database read-only and changes no byte of it, of its -wal or
//    of its -journal (SQLite's -shm index excepted); a database with a hot journal
//    is not read but reported as needing recovery. A clean opens it for writing,
//    so that SQLite recovers it first, unless the database or one of its files has
//    more than one link: then it is reported and left alone;
//  - a clean pass takes the write lock (BEGIN IMMEDIATE) before it reads, so that
//    what it deletes is what it read, turns on secure delete (deleted cells and
//    freed pages are overwritten with zeros), and deletes each evil row by the
//    exact key it read: its rowid, or in a table WITHOUT ROWID its primary key
//    compared byte for byte (COLLATE BINARY). A DELETE that changes anything but
//    that one row rolls the whole transaction back: the database contributes 0 and
//    is reported. It commits once; a COMMIT that fails rolls everything back and
//    the database contributes 0. A database in WAL mode is then checkpointed and
//    its -wal file truncated, so that no deleted value stays readable there;
//  - nothing waits for a lock held by another connection: a database held by a
//    running browser (open without sharing, or locked) contributes 0 at once,
//    keeps its rows and is reported as held;
//  - a SELECT reads a table, never a view: a name that is a view (or missing)
//    skips that table, and so does a table without a key to name its rows by;
//  - a database that keeps SQLite busy past the connection's budget
//    (Database::kWorkBudget) contributes 0: its query or its transaction fails.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <initializer_list>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "model/filter.h"
#include "stores/sqlite/sqlite_db.h"
#include "stores/stores.h"
#include "text/textfile.h"

namespace sqlite_access {

// The data row a statement stands on.
class Row {
 public:
  // The store's columns start at `first`.
  Row(const Statement& statement, int first) : statement_(&statement), first_(first) {}

  // The cell exactly as the query returned it, null for SQL NULL; valid until the
  // statement steps on.
  const char* Raw(int column) const { return statement_->ColumnText(first_ + column); }
  // The cell as an item field: byte n becomes character n (WideFromBytes); SQL NULL
  // reads "(null)".
  std::wstring Text(int column) const { return CellText(Raw(column)); }
  // Appends the bytes of Text(column) to *bytes, one byte per character.
  void AppendBytes(int column, std::string* bytes) const;

 private:
  const Statement* statement_;
  int first_;
};

// One table of a database step, as the step sees it.
struct TableStep {
  std::string select;  // the store's "SELECT <columns> FROM <table>"
  int columns = 0;     // the columns it names; any other count skips the table
  // Decides on the row and, in a scan, keeps its item when it is evil. True when
  // the row is evil.
  std::function<bool(const Row&)> visit;
};

// The table that "SELECT <columns> FROM <table>" reads.
std::string TableOfSelect(const std::string& select);

// A name of the rowid of `table` that no column of the table takes for itself (a
// column may be called "rowid"); empty when "rowid", "_rowid_" and "oid" all are.
std::string RowidName(Database& db, const std::string& table);

// What one database gave.
struct StepOutcome {
  // In a scan the evil rows, in a clean pass the rows deleted by the committed
  // transaction.
  int count = 0;
  // Why the database was left as it was and gives 0; kNone when it was not.
  HeldReason held = HeldReason::kNone;
  // The database used up the connection's budget: whatever `visit` saw of it does
  // not count, and a clean pass has rolled back.
  bool exhausted = false;
};

// Runs the step on the database at `path`. `plan` names the tables once the
// database is open (and, in a clean pass, locked for writing), so that a store can
// choose its columns by the schema it finds. A file that is missing, not a
// database, of another schema, or held gives a count of 0.
// Throws what `plan` or `visit` throws (the connection is closed, a transaction
// rolled back).
StepOutcome RunDatabaseStep(const std::wstring& path,
                            const std::function<std::vector<TableStep>(Database&)>& plan,
                            bool clean);

// How a store finds a row's site: appends to *site the site's bytes, exactly as
// the item's m_strSite will hold them (byte n character n); false when the row
// names no site (it is passed over). *site arrives empty.
using SiteOf = std::function<bool(const Row& row, std::string* site)>;

// The site is the text of these columns one after the other, each as Row::Text
// reads it ("(null)" for SQL NULL).
SiteOf SiteColumns(std::initializer_list<int> columns);

// A store's table: its SELECT, where a row's site is, and how an evil row becomes
// an item.
template <typename Item>
struct StoreTable {
  std::string select;
  int columns;
  SiteOf site;
  // Fills the item's other fields from the row (the step sets m_strSite and
  // m_pRule).
  std::function<void(const Row& row, Item* item)> fill;
};

// The filter's verdicts on the sites a store meets, as 8-bit text (std::string) or
// wide text (std::wstring): a database or a folder holds many items of each site,
// and looking a verdict up costs less than asking the filter again. It remembers
// at most kMaxSites sites, however many it meets.
template <typename Text>
class SiteVerdicts {
 public:
  explicit SiteVerdicts(const CCookieFilter& filter) : filter_(filter) {}

  // filter.Find(site), remembered.
  std::optional<CCookieFilter::Rule> Find(const Text& site) {
    const auto known = known_.find(site);
    if (known != known_.end()) return known->second;
    if (known_.size() == kMaxSites) known_.clear();  // memory stays bounded
    const std::basic_string_view<typename Text::value_type> view(site);
    return known_.emplace(site, filter_.Find(view)).first->second;
  }

  static constexpr size_t kMaxSites = 4096;

 private:
  const CCookieFilter& filter_;
  std::unordered_map<Text, std::optional<CCookieFilter::Rule>> known_;
};

// The database step for a store whose items are of class `Item`, with tables the
// store chooses once it sees the open database. A scan appends the evil items to
// `items`; in a clean pass `items` is not used. Only an evil row's cells beyond its
// site are read. Running out of memory or out of the connection's budget, or a
// database held by another program, makes the database contribute 0 (and takes
// back the items it appended); so does every reason of HeldReason, which *held
// (when given) tells (kNone otherwise).
template <typename Item>
int PlannedDatabaseStep(const std::wstring& path, const CCookieFilter& filter,
                        std::deque<Item>& items, bool clean,
                        const std::function<std::vector<StoreTable<Item>>(Database&)>& plan,
                        HeldReason* held = nullptr) {
  if (held != nullptr) *held = HeldReason::kNone;
  const size_t size_before = items.size();
  try {
    SiteVerdicts<std::string> verdicts(filter);
    const auto steps = [&](Database& db) {
      std::vector<TableStep> tables;
      for (StoreTable<Item>& table : plan(db)) {
        TableStep step;
        step.select = std::move(table.select);
        step.columns = table.columns;
        step.visit = [&filter, &items, &verdicts, clean, site_of = std::move(table.site),
                      fill = std::move(table.fill), site = std::string()](const Row& row) mutable {
          site.clear();
          if (!site_of(row, &site)) return false;
          const std::optional<CCookieFilter::Rule> rule = verdicts.Find(site);
          if (!rule) return false;
          if (!clean) {
            Item& item = items.emplace_back();
            item.m_strSite = WideFromBytes(site);
            fill(row, &item);
            item.m_pRule = filter.Describe(*rule);
          }
          return true;
        };
        tables.push_back(std::move(step));
      }
      return tables;
    };
    const StepOutcome outcome = RunDatabaseStep(path, steps, clean);
    if (held != nullptr) *held = outcome.held;
    if (outcome.held == HeldReason::kNone && !outcome.exhausted) return outcome.count;
  } catch (const std::bad_alloc&) {
  }
  items.erase(items.begin() + static_cast<std::ptrdiff_t>(size_before), items.end());
  return 0;
}

// The same for a store whose tables are fixed.
template <typename Item>
int DatabaseStep(const std::wstring& path, const CCookieFilter& filter, std::deque<Item>& items,
                 bool clean, std::initializer_list<StoreTable<Item>> tables,
                 HeldReason* held = nullptr) {
  const std::vector<StoreTable<Item>> fixed(tables);
  return PlannedDatabaseStep<Item>(
      path, filter, items, clean, [&fixed](Database&) { return fixed; }, held);
}

}  // namespace sqlite_access
