#include "stores/sqlite/database_step.h"

#include <cstdint>

#include "text/textfile.h"

namespace sqlite_access {
namespace {

// The explicit transaction of one clean pass. Rolled back unless committed.
class Transaction {
 public:
  explicit Transaction(Database& db) : db_(db) {}
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  ~Transaction() {
    if (db_.InTransaction()) db_.Execute("ROLLBACK");
  }

  // BEGIN IMMEDIATE: takes the write lock now, so that a database held by a running
  // browser fails here, before anything is read.
  bool Begin() { return db_.Execute("BEGIN IMMEDIATE"); }
  // False when the transaction has ended before (SQLite rolled it back after an
  // error) or the COMMIT fails; the destructor then rolls back what is left.
  bool Commit() { return db_.InTransaction() && db_.Execute("COMMIT"); }

 private:
  Database& db_;
};

bool SameName(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i) {
    char x = a[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (x != b[i]) return false;
  }
  return i == a.size() && b[i] == '\0';
}

// A name of the table's rowid that no column of the table takes for itself (a
// column may be called "rowid"); empty when all three are taken.
std::string RowidName(Database& db, const std::string& table) {
  const std::vector<std::string> columns = db.Columns(table);
  for (const char* alias : {"rowid", "_rowid_", "oid"}) {
    bool taken = false;
    for (const std::string& column : columns) taken = taken || SameName(column, alias);
    if (!taken) return alias;
  }
  return std::string();
}

// "SELECT a, b FROM t" read with the rowid first: "SELECT rowid, a, b FROM t".
std::string WithRowid(const std::string& select, const std::string& rowid) {
  static const char kSelect[] = "SELECT ";
  if (select.compare(0, sizeof kSelect - 1, kSelect) != 0) return std::string();
  return kSelect + rowid + ", " + select.substr(sizeof kSelect - 1);
}

}  // namespace

const char* Row::Raw(int column) const {
  if (statement_ != nullptr) return statement_->ColumnText(row_ + column);
  return table_->Cell(row_, column);
}

std::wstring Row::Text(int column) const { return CellText(Raw(column)); }

std::string TableOfSelect(const std::string& select) {
  const size_t from = select.rfind(" FROM ");
  if (from == std::string::npos) return std::string();
  const size_t start = from + 6;
  return select.substr(start, select.find(' ', start) - start);
}

StepOutcome RunDatabaseStep(const std::wstring& path,
                            const std::function<std::vector<TableStep>(Database&)>& plan,
                            bool clean) {
  StepOutcome outcome;
  Database db;
  if (!db.OpenExisting(path, &outcome.held)) return outcome;

  // The tables are chosen by the schema, read before the write lock: a file without
  // any of them is never written (SQLite would give an empty file a header).
  if (!db.Execute("SELECT 1 FROM sqlite_master LIMIT 1")) {
    outcome.held = db.LastFailureWasLock();
    return outcome;
  }
  std::vector<TableStep> tables;
  for (TableStep& table : plan(db)) {
    if (db.HasTable(TableOfSelect(table.select))) {
      tables.push_back(std::move(table));
    } else if (db.LastFailureWasLock()) {
      outcome.held = true;
      return outcome;
    }
  }
  if (tables.empty()) return outcome;

  Transaction transaction(db);
  if (clean) {
    // Deleted cells and freed pages are overwritten, not merely unlinked.
    db.Execute("PRAGMA secure_delete=ON");
    if (!transaction.Begin()) {
      outcome.held = db.LastFailureWasLock();
      return outcome;
    }
  }

  int found = 0;
  int deleted = 0;
  for (const TableStep& table : tables) {
    const std::string name = TableOfSelect(table.select);
    const std::string rowid = RowidName(db, name);
    if (rowid.empty()) continue;
    Statement select;
    if (!select.Prepare(db, WithRowid(table.select, rowid))) {
      if (db.LastFailureWasLock()) {
        outcome.held = true;
        return outcome;
      }
      continue;
    }
    if (select.ColumnCount() != table.columns + 1) continue;
    // The evil rows of this table, deleted once the walk is over: a table is not
    // changed while a statement still reads it.
    std::vector<int64_t> evil;
    for (;;) {
      const Statement::StepResult step = select.Step();
      if (step == Statement::StepResult::kLocked) {
        outcome.held = true;
        return outcome;
      }
      if (step != Statement::StepResult::kRow) break;
      if (!table.visit(Row(select, 1))) continue;
      ++found;
      if (clean) evil.push_back(select.ColumnInt64(0));
    }
    if (evil.empty()) continue;
    Statement remove;
    if (!remove.Prepare(db, "DELETE FROM \"" + name + "\" WHERE " + rowid + " = ?")) continue;
    for (const int64_t row : evil) {
      remove.BindInt64(1, row);
      const Statement::StepResult step = remove.Step();
      remove.Reset();
      if (step == Statement::StepResult::kDone) {
        if (db.Changes() == 1) ++deleted;
      } else if (!db.InTransaction()) {
        return outcome;  // SQLite rolled the whole transaction back
      }
    }
  }
  if (db.Exhausted()) {
    outcome.exhausted = true;
    return outcome;
  }
  if (!clean) {
    outcome.count = found;
    return outcome;
  }
  if (!transaction.Commit()) {
    outcome.held = db.LastFailureWasLock();
    return outcome;
  }
  outcome.count = deleted;
  // The -wal file still holds the pages as they were before the clean: copy the
  // cleaned pages into the database and empty it. A reader of another program may
  // keep it from finishing; nothing waits for it.
  if (db.IsWal()) db.Execute("PRAGMA wal_checkpoint(TRUNCATE)");
  return outcome;
}

}  // namespace sqlite_access
