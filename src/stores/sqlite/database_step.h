// The database step shared by every SQLite store: open one database
// file, fetch each of the store's tables whole with its SELECT, turn every row into
// an item and ask the filter, and in a clean pass delete each evil row with the
// store's DELETE statement.
//
// Beyond opening, reading and deleting:
//  - the file must exist; it is never created (Database::OpenExisting);
//  - a clean pass runs all DELETEs of one database in one transaction (BEGIN
//    IMMEDIATE ... COMMIT), begun at the first evil row; a DELETE counts only when
//    the COMMIT succeeds, otherwise the transaction is rolled back and the database
//    contributes 0;
//  - nothing waits for a lock held by another connection: a locked database
//    contributes 0 at once and keeps its rows;
//  - a SELECT reads a table, never a view: a name that is a view (or missing)
//    skips that table;
//  - a DELETE counts the rows it changed (sqlite3_changes), so one that matched
//    nothing counts 0;
//  - a database that keeps SQLite busy past the connection's budget
//    (Database::kWorkBudget) contributes 0: its query or its transaction fails.
#pragma once

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "model/filter.h"
#include "stores/sqlite/sqlite_db.h"

namespace sqlite_access {

// One data row of a result table.
class Row {
 public:
  // REQUIRES: 1 <= row <= table.rows().
  Row(const ResultTable& table, int row) : table_(table), row_(row) {}

  // The cell exactly as the query returned it, null for SQL NULL: the bytes that a
  // DELETE statement names the row by.
  const char* Raw(int column) const { return table_.Cell(row_, column); }
  // The cell as an item field: byte n becomes character n (WideFromBytes); SQL NULL
  // reads "(null)".
  std::wstring Text(int column) const;

 private:
  const ResultTable& table_;
  int row_;
};

// One table of a database step, as the step sees it.
struct TableStep {
  const char* select = nullptr;  // the store's "SELECT <columns> FROM <table>"
  int columns = 0;               // the columns it names; any other count skips the table
  // Builds the store's item from the row and asks the filter; in a scan keeps the
  // evil item. True when the row is evil.
  std::function<bool(const Row&)> visit;
  // The store's DELETE for an evil row, made with sqlite3_mprintf from the row's Raw()
  // cells; no text skips the row uncounted.
  std::function<SqlText(const Row&)> make_delete;
};

// The table that "SELECT <columns> FROM <table>" reads.
std::string TableOfSelect(const char* select);

// Runs the step on the database at `path` and returns its count: in a scan the evil
// rows, in a clean pass the rows deleted by the committed transaction.
// A file that is missing, not a database, of another schema, or locked, gives 0.
// No count (nullopt) when the database used up the connection's budget: whatever
// `visit` saw of it does not count, and a clean pass has rolled back.
// Throws what `visit` throws (the connection is closed, a transaction rolled back).
std::optional<int> RunDatabaseStep(const std::wstring& path, const std::vector<TableStep>& tables,
                                   bool clean);

// A store's table: its statements and how its rows become items.
template <typename Item>
struct StoreTable {
  const char* select;
  int columns;
  // Fills the item's fields from the row's Text() cells.
  void (*fill)(const Row& row, Item* item);
  // See TableStep::make_delete.
  SqlText (*make_delete)(const Row& row);
};

// The database step for a store whose items are of class `Item`. A scan appends the
// evil items to `items`; in a clean pass `items` is not used. Running out of memory
// or out of the connection's budget makes the database contribute 0 (and takes back
// the items it appended).
template <typename Item>
int DatabaseStep(const std::wstring& path, const CCookieFilter& filter, std::vector<Item>& items,
                 bool clean, std::initializer_list<StoreTable<Item>> tables) {
  const size_t size_before = items.size();
  try {
    std::vector<TableStep> steps;
    for (const StoreTable<Item>& table : tables) {
      TableStep step;
      step.select = table.select;
      step.columns = table.columns;
      step.visit = [&filter, &items, clean, fill = table.fill](const Row& row) {
        Item item;
        fill(row, &item);
        if (!filter.IsEvil(item)) return false;
        if (!clean) items.push_back(item);
        return true;
      };
      step.make_delete = table.make_delete;
      steps.push_back(std::move(step));
    }
    if (const std::optional<int> count = RunDatabaseStep(path, steps, clean)) return *count;
  } catch (const std::bad_alloc&) {
  }
  items.erase(items.begin() + static_cast<std::ptrdiff_t>(size_before), items.end());
  return 0;
}

}  // namespace sqlite_access
