// The SQLite steps of the Safari stores: a database is opened read-write but never
// created, a scan only runs SELECT statements, and a clean runs all its DELETE
// statements of one database in one transaction.
#pragma once

#include <string>

#include "sqlite3.h"

namespace safari {

// An open database connection, closed on destruction.
class Database {
 public:
  // Opens an existing database file read-write; is_open() is false when the file is
  // missing or cannot be opened.
  explicit Database(const std::wstring& path);
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;
  ~Database();

  bool is_open() const { return db_ != nullptr; }
  sqlite3* get() const { return db_; }
  // Runs a statement without a result (sqlite3_exec); true on success.
  bool Exec(const char* sql);

 private:
  sqlite3* db_ = nullptr;
};

// The whole result of one query (sqlite3_get_table), freed on destruction.
class Table {
 public:
  // Runs `sql`; ok() is true when it succeeded with `columns` columns (or no row).
  Table(const Database& db, const char* sql, int columns);
  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;
  ~Table();

  bool ok() const { return ok_; }
  int rows() const { return rows_; }
  // The cell of data row `row` (1 to rows()) and column `column`; null for NULL.
  const char* Cell(int row, int column) const { return cells_[row * columns_ + column]; }

 private:
  char** cells_ = nullptr;
  int rows_ = 0;
  int columns_ = 0;
  bool ok_ = false;
};

// A cell as item text, byte by byte up to its first NUL; NULL reads "(null)".
std::wstring CellText(const char* cell);

}  // namespace safari
