// The database step shared by every SQLite store: open one database file, walk
// each of the store's tables with its SELECT, turn every row into an item and ask
// the filter, and in a clean pass delete exactly the evil rows that were read.
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
#include <functional>
#include <initializer_list>
#include <new>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "model/filter.h"
#include "stores/sqlite/sqlite_db.h"
#include "stores/stores.h"

namespace sqlite_access {

// One data row, of a result table or of a statement being stepped.
class Row {
 public:
  // REQUIRES: 1 <= row <= table.rows().
  Row(const ResultTable& table, int row) : table_(&table), row_(row) {}
  // The row a statement stands on, the store's columns starting at `first`.
  Row(const Statement& statement, int first) : statement_(&statement), row_(first) {}

  // The cell exactly as the query returned it, null for SQL NULL.
  const char* Raw(int column) const;
  // The cell as an item field: byte n becomes character n (WideFromBytes); SQL NULL
  // reads "(null)".
  std::wstring Text(int column) const;

 private:
  const ResultTable* table_ = nullptr;
  const Statement* statement_ = nullptr;
  int row_;
};

// One table of a database step, as the step sees it.
struct TableStep {
  std::string select;  // the store's "SELECT <columns> FROM <table>"
  int columns = 0;     // the columns it names; any other count skips the table
  // Builds the store's item from the row and asks the filter; in a scan keeps the
  // evil item. True when the row is evil.
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

// A store's table: its SELECT and how its rows become items.
template <typename Item>
struct StoreTable {
  std::string select;
  int columns;
  // Fills the item's fields from the row's Text() cells.
  std::function<void(const Row& row, Item* item)> fill;
};

// Where the filter's verdict depends on a few cells of a row only (its site), the
// row's key of them.
using SiteKey = std::function<void(const Row& row, std::string* key)>;

// The database step for a store whose items are of class `Item`, with tables the
// store chooses once it sees the open database. A scan appends the evil items to
// `items`; in a clean pass `items` is not used. Running out of memory or out of the
// connection's budget, or a database held by another program, makes the database
// contribute 0 (and takes back the items it appended); so does every reason of
// HeldReason, which *held (when given) tells (kNone otherwise). With a `site_key`,
// each key is asked about once, and a row whose key was harmless is passed over
// without an item.
template <typename Item>
int PlannedDatabaseStep(const std::wstring& path, const CCookieFilter& filter,
                        std::vector<Item>& items, bool clean,
                        const std::function<std::vector<StoreTable<Item>>(Database&)>& plan,
                        HeldReason* held = nullptr, const SiteKey& site_key = SiteKey()) {
  if (held != nullptr) *held = HeldReason::kNone;
  const size_t size_before = items.size();
  try {
    const auto steps = [&](Database& db) {
      std::vector<TableStep> tables;
      for (StoreTable<Item>& table : plan(db)) {
        TableStep step;
        step.select = std::move(table.select);
        step.columns = table.columns;
        step.visit = [&filter, &items, clean, fill = std::move(table.fill),
                      site_key,
                      verdicts = std::unordered_map<std::string, std::wstring>(),
                      key = std::string()](const Row& row) mutable {
          // A key maps to the rule that made it evil, or to nothing when harmless.
          auto known = verdicts.end();
          if (site_key) {
            site_key(row, &key);
            known = verdicts.find(key);
            if (known != verdicts.end() && known->second.empty()) return false;
          }
          Item item;
          fill(row, &item);
          if (!site_key) {
            if (!filter.IsEvil(item)) return false;
          } else if (known == verdicts.end()) {
            filter.IsEvil(item);
            if (verdicts.emplace(key, item.m_strRule).first->second.empty()) return false;
          } else {
            item.m_strRule = known->second;
          }
          if (!clean) items.push_back(std::move(item));
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
int DatabaseStep(const std::wstring& path, const CCookieFilter& filter, std::vector<Item>& items,
                 bool clean, std::initializer_list<StoreTable<Item>> tables,
                 HeldReason* held = nullptr) {
  const std::vector<StoreTable<Item>> fixed(tables);
  return PlannedDatabaseStep<Item>(
      path, filter, items, clean, [&fixed](Database&) { return fixed; }, held);
}

}  // namespace sqlite_access
