#include "stores/sqlite/database_step.h"

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
  // browser fails here, before any DELETE.
  bool Begin() { return db_.Execute("BEGIN IMMEDIATE"); }
  // False when the transaction has ended before (SQLite rolled it back after an
  // error) or the COMMIT fails; the destructor then rolls back what is left.
  bool Commit() { return db_.InTransaction() && db_.Execute("COMMIT"); }

 private:
  Database& db_;
};

}  // namespace

std::wstring Row::Text(int column) const { return CellText(Raw(column)); }

std::string TableOfSelect(const char* select) {
  const std::string text(select);
  const size_t from = text.rfind(" FROM ");
  if (from == std::string::npos) return std::string();
  const size_t start = from + 6;
  return text.substr(start, text.find(' ', start) - start);
}

std::optional<int> RunDatabaseStep(const std::wstring& path, const std::vector<TableStep>& tables,
                                   bool clean) {
  Database db;
  if (!db.OpenExisting(path)) return 0;

  int found = 0;
  int deleted = 0;
  Transaction transaction(db);
  bool begun = false;
  for (const TableStep& table : tables) {
    // A view may compute rows without end; only a stored table is read.
    if (!db.HasTable(TableOfSelect(table.select))) continue;
    ResultTable result;
    if (!result.Query(db, table.select) || result.columns() != table.columns) continue;
    // The rows are a copy in memory: deleting rows does not disturb the walk.
    for (int i = 1; i <= result.rows(); ++i) {
      const Row row(result, i);
      if (!table.visit(row)) continue;
      ++found;
      if (!clean) continue;
      const SqlText statement = table.make_delete(row);
      if (!statement) continue;
      if (!begun) {
        if (!transaction.Begin()) return 0;  // locked by another connection
        begun = true;
      }
      if (db.Execute(statement.get())) {
        deleted += db.Changes();
      } else if (!db.InTransaction()) {
        return 0;  // SQLite rolled the whole transaction back
      }
    }
  }
  if (db.Exhausted()) return std::nullopt;
  if (!clean) return found;
  if (!begun) return 0;
  return transaction.Commit() ? deleted : 0;
}

}  // namespace sqlite_access
