#include "stores/safari/safari_sqlite.h"

#include "platform/platform.h"
#include "stores/textfile.h"

namespace safari {

Database::Database(const std::wstring& path) {
  const std::string native = platform::PathForSqlite(path);
  if (sqlite3_open_v2(native.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    sqlite3_close(db_);
    db_ = nullptr;
  }
}

Database::~Database() { sqlite3_close(db_); }

bool Database::Exec(const char* sql) {
  char* error = nullptr;
  const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, &error);
  sqlite3_free(error);
  return rc == SQLITE_OK;
}

Table::Table(const Database& db, const char* sql, int columns) {
  if (!db.is_open()) return;
  char* error = nullptr;
  const int rc = sqlite3_get_table(db.get(), sql, &cells_, &rows_, &columns_, &error);
  sqlite3_free(error);
  // A query without rows reports no columns at all.
  ok_ = rc == SQLITE_OK && (columns_ == columns || rows_ == 0);
}

Table::~Table() { sqlite3_free_table(cells_); }

std::wstring CellText(const char* cell) {
  return cell == nullptr ? std::wstring(L"(null)") : WideFromBytes(cell);
}

}  // namespace safari
