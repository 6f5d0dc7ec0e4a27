#include "stores/sqlite/database_step.h"

#include <cstdint>

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

// A name as an SQL identifier, in double quotes.
std::string Quoted(const std::string& name) {
  std::string quoted = "\"";
  for (const char c : name) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

// How the rows of one table are named: the columns read before the store's own,
// and the DELETE that removes the one row whose values they held.
struct RowKey {
  std::vector<std::string> columns;  // as they go into the SELECT
  std::string remove;                // the DELETE, one parameter per key column
  bool rowid = false;                // the one column is the rowid
};

// The key of `table`: its rowid, or for a table WITHOUT ROWID its primary key,
// each column compared byte for byte whatever its declared collation. No columns
// when neither can name a row.
RowKey KeyOf(Database& db, const std::string& table) {
  RowKey key;
  std::string where;
  if (db.WithoutRowid(table)) {
    for (const std::string& column : db.PrimaryKey(table)) {
      key.columns.push_back(Quoted(column));
      if (!where.empty()) where += " AND ";
      where += Quoted(column) + " = ?" + std::to_string(key.columns.size()) + " COLLATE BINARY";
    }
  } else {
    const std::string rowid = RowidName(db, table);
    if (!rowid.empty()) {
      key.columns.push_back(rowid);
      key.rowid = true;
      where = rowid + " = ?1";
    }
  }
  if (!key.columns.empty()) key.remove = "DELETE FROM " + Quoted(table) + " WHERE " + where;
  return key;
}

// The keys of the evil rows of one table, as they were read: rowids as numbers,
// other keys as copies of their values.
class EvilRows {
 public:
  explicit EvilRows(const RowKey& key) : by_rowid_(key.rowid), width_(key.columns.size()) {}

  // The key of the row `select` stands on.
  void Add(const Statement& select) {
    if (by_rowid_) {
      rowids_.push_back(select.ColumnInt64(0));
      return;
    }
    for (size_t column = 0; column < width_; ++column) {
      values_.push_back(select.ColumnValue(static_cast<int>(column)));
    }
  }
  size_t size() const { return by_rowid_ ? rowids_.size() : values_.size() / width_; }
  // Binds the key of the row added `row`th to `remove`; false when a value cannot
  // be bound.
  bool Bind(size_t row, Statement& remove) const {
    if (by_rowid_) {
      remove.BindInt64(1, rowids_[row]);
      return true;
    }
    for (size_t column = 0; column < width_; ++column) {
      if (!remove.BindValue(static_cast<int>(column) + 1, values_[row * width_ + column])) {
        return false;
      }
    }
    return true;
  }

 private:
  bool by_rowid_;
  size_t width_;
  std::vector<int64_t> rowids_;
  std::vector<Value> values_;
};

// "SELECT a, b FROM t" read with the key first: "SELECT rowid, a, b FROM t".
std::string WithKey(const std::string& select, const RowKey& key) {
  static const char kSelect[] = "SELECT ";
  if (select.compare(0, sizeof kSelect - 1, kSelect) != 0) return std::string();
  std::string columns;
  for (const std::string& column : key.columns) columns += column + ", ";
  return kSelect + columns + select.substr(sizeof kSelect - 1);
}

// Why the last call on `db` failed, as far as the step reports it.
HeldReason FailureReason(const Database& db) {
  if (db.LastFailureWasLock()) return HeldReason::kInUse;
  if (db.NeedsRecovery()) return HeldReason::kNeedsRecovery;
  return HeldReason::kNone;
}

}  // namespace

std::string RowidName(Database& db, const std::string& table) {
  const std::vector<std::string> columns = db.Columns(table);
  for (const char* alias : {"rowid", "_rowid_", "oid"}) {
    bool taken = false;
    for (const std::string& column : columns) taken = taken || SameName(column, alias);
    if (!taken) return alias;
  }
  return std::string();
}

void Row::AppendBytes(int column, std::string* bytes) const {
  const char* cell = Raw(column);
  bytes->append(cell != nullptr ? cell : "(null)");
}

SiteOf SiteColumns(std::initializer_list<int> columns) {
  return [columns = std::vector<int>(columns)](const Row& row, std::string* site) {
    for (const int column : columns) row.AppendBytes(column, site);
    return true;
  };
}

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
  Database::Refusal refusal = Database::Refusal::kNone;
  if (!db.OpenExisting(path, clean ? Database::Access::kWrite : Database::Access::kRead,
                       &refusal)) {
    if (refusal == Database::Refusal::kInUse) outcome.held = HeldReason::kInUse;
    if (refusal == Database::Refusal::kHardLinked) outcome.held = HeldReason::kHardLinked;
    return outcome;
  }

  // The tables are chosen by the schema, read before the write lock: a file without
  // any of them is never written (SQLite would give an empty file a header). This
  // first read is where a read-only connection meets a hot journal, and where a
  // read-write one rolls it back. A scan reads everything under one read lock.
  if ((!clean && !db.BeginRead()) || !db.Execute("SELECT 1 FROM sqlite_master LIMIT 1")) {
    outcome.held = FailureReason(db);
    return outcome;
  }
  std::vector<TableStep> tables;
  for (TableStep& table : plan(db)) {
    if (db.HasTable(TableOfSelect(table.select))) {
      tables.push_back(std::move(table));
    } else if (db.LastFailureWasLock()) {
      outcome.held = HeldReason::kInUse;
      return outcome;
    }
  }
  if (tables.empty()) return outcome;

  Transaction transaction(db);
  if (clean) {
    // Deleted cells and freed pages are overwritten, not merely unlinked.
    db.Execute("PRAGMA secure_delete=ON");
    if (!transaction.Begin()) {
      outcome.held = FailureReason(db);
      return outcome;
    }
  }

  int found = 0;
  int deleted = 0;
  for (const TableStep& table : tables) {
    const std::string name = TableOfSelect(table.select);
    const RowKey key = KeyOf(db, name);
    if (key.columns.empty()) continue;
    const int key_columns = static_cast<int>(key.columns.size());
    Statement select;
    if (!select.Prepare(db, WithKey(table.select, key))) {
      if (db.LastFailureWasLock()) {
        outcome.held = HeldReason::kInUse;
        return outcome;
      }
      continue;
    }
    if (select.ColumnCount() != table.columns + key_columns) continue;
    // The keys of this table's evil rows, deleted once the walk is over: a table is
    // not changed while a statement still reads it.
    EvilRows evil(key);
    for (;;) {
      const Statement::StepResult step = select.Step();
      if (step == Statement::StepResult::kLocked) {
        outcome.held = HeldReason::kInUse;
        return outcome;
      }
      if (step != Statement::StepResult::kRow) break;
      if (!table.visit(Row(select, key_columns))) continue;
      ++found;
      if (clean) evil.Add(select);
    }
    if (evil.size() == 0) continue;
    Statement remove;
    if (!remove.Prepare(db, key.remove)) return outcome;
    for (size_t row = 0; row < evil.size(); ++row) {
      if (!evil.Bind(row, remove)) return outcome;
      const Statement::StepResult step = remove.Step();
      remove.Reset();
      if (step == Statement::StepResult::kLocked) {
        outcome.held = HeldReason::kInUse;
        return outcome;
      }
      // Whatever else happened to the database, the transaction takes it back.
      if (step != Statement::StepResult::kDone) return outcome;
      if (db.Changes() != 1) {
        outcome.held = HeldReason::kChangedOtherRows;
        return outcome;
      }
      ++deleted;
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
    outcome.held = FailureReason(db);
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
