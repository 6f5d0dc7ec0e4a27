#include "stores/sqlite/sqlite_db.h"

#include "text/textfile.h"

#include <algorithm>
#include <utility>

#include "platform/platform.h"
#include "sqlite3.h"

namespace sqlite_access {
namespace {

// The one place where SQLite's result codes are read.
bool Succeeded(int result) { return result == SQLITE_OK; }

// A connection is used by one thread at a time: SQLite need not lock it for every
// call.
constexpr int kOneThread = SQLITE_OPEN_NOMUTEX;

// The progress handler runs after every this many steps of the virtual machine.
constexpr int kStepsPerProgressCall = 1000;

}  // namespace

// ---- Database

Database::Database(Database&& other) noexcept
    : db_(std::exchange(other.db_, nullptr)), work_left_(other.work_left_) {
  WatchProgress();
}

Database& Database::operator=(Database&& other) noexcept {
  if (this != &other) {
    Close();
    db_ = std::exchange(other.db_, nullptr);
    work_left_ = other.work_left_;
    WatchProgress();
  }
  return *this;
}

int Database::Progress(void* self) {
  int64_t& left = static_cast<Database*>(self)->work_left_;
  left -= kStepsPerProgressCall;
  return left < 0 ? 1 : 0;  // non-zero interrupts the statement
}

void Database::WatchProgress() {
  if (db_ != nullptr) sqlite3_progress_handler(db_, kStepsPerProgressCall, &Database::Progress, this);
}

Database::~Database() { Close(); }

namespace {

// True when the database header names WAL (file format versions 2 at offsets 18
// and 19).
bool HeaderSaysWal(const std::wstring& path) {
  platform::File file = platform::File::OpenForRead(path, platform::File::Share::kDenyNone);
  unsigned char header[20] = {};
  size_t got = 0;
  return file.is_open() && file.Read(header, sizeof header, &got) && got == sizeof header &&
         header[18] == 2 && header[19] == 2;
}

// The path as an SQLite URI ("file:" and the path, "%", "?" and "#" escaped).
std::string UriOf(const std::string& path) {
  std::string uri = path.size() > 0 && path[0] == '/' ? "file://" : "file:";
  for (const char c : path) {
    if (c == '%') {
      uri += "%25";
    } else if (c == '?') {
      uri += "%3F";
    } else if (c == '#') {
      uri += "%23";
    } else {
      uri += c;
    }
  }
  return uri;
}

// Sets one of sqlite3_db_config's on/off switches; true when SQLite took it.
bool Switch(sqlite3* db, int option, int on) {
  int now = -1;
  return Succeeded(sqlite3_db_config(db, option, on, &now)) && now == on;
}

}  // namespace

bool Database::OpenExisting(const std::wstring& path, Access access, Refusal* refusal) {
  Close();
  if (refusal != nullptr) *refusal = Refusal::kNone;
  // SQLite without SQLITE_OPEN_CREATE refuses a missing file too; asking first also
  // keeps folders and other non-files away from it.
  // A database that is a link is never opened: what it points to lies outside the
  // profile. SQLite's own no-follow check is kept too (the Windows VFS ignores it).
  if (!platform::FileExists(path) || platform::IsLinkOrReparsePoint(path)) return false;
  // SQLite would retry a sharing violation for more than a second, then open the
  // file read-only and retry again: ask once, without waiting.
  if (platform::FileInUse(path)) {
    if (refusal != nullptr) *refusal = Refusal::kInUse;
    return false;
  }
  if (access == Access::kWrite) {
    for (const wchar_t* suffix : {L"", L"-wal", L"-journal", L"-shm"}) {
      if (platform::LinkCount(path + suffix) > 1) {
        if (refusal != nullptr) *refusal = Refusal::kHardLinked;
        return false;
      }
    }
  }
  const std::string file = platform::PathForSqlite(path);
  int result = SQLITE_ERROR;
  if (access == Access::kWrite) {
    result = sqlite3_open_v2(file.c_str(), &db_,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW | kOneThread, nullptr);
  } else if (HeaderSaysWal(path) && !platform::FileExists(path + L"-wal")) {
    // Every row lies in the database file, and no connection of another program is
    // open (it would keep a -wal file): read it as it is, creating nothing.
    result = sqlite3_open_v2(
        (UriOf(file) + "?immutable=1").c_str(), &db_,
        SQLITE_OPEN_READONLY | SQLITE_OPEN_NOFOLLOW | SQLITE_OPEN_URI | kOneThread, nullptr);
  } else {
    result = sqlite3_open_v2(file.c_str(), &db_,
                             SQLITE_OPEN_READONLY | SQLITE_OPEN_NOFOLLOW | kOneThread, nullptr);
  }
  const bool distrusting =
      Succeeded(result) && Switch(db_, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0) &&
      Switch(db_, SQLITE_DBCONFIG_ENABLE_VIEW, 0) && Switch(db_, SQLITE_DBCONFIG_DEFENSIVE, 1) &&
      Switch(db_, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0) &&
      // A read-only connection never checkpoints, not even when it closes.
      (access == Access::kWrite || Switch(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1));
  if (!distrusting) {
    Close();
    return false;
  }
  sqlite3_limit(db_, SQLITE_LIMIT_LENGTH, kMaxLength);
  sqlite3_limit(db_, SQLITE_LIMIT_SQL_LENGTH, kMaxSqlLength);
  sqlite3_limit(db_, SQLITE_LIMIT_COLUMN, kMaxColumns);
  sqlite3_limit(db_, SQLITE_LIMIT_EXPR_DEPTH, kMaxExprDepth);
  work_left_ = kWorkBudget;
  WatchProgress();
  // Neither pragma reads the file.
  if (!Execute("PRAGMA cell_size_check=ON") || !Execute("PRAGMA mmap_size=0")) {
    Close();
    return false;
  }
  return true;
}

bool Database::Execute(const char* sql) {
  return Succeeded(sqlite3_exec(db_, sql, nullptr, nullptr, nullptr));
}

bool Database::BeginRead() {
  if (!Execute("BEGIN")) return false;
  // The pragma reads the header within the transaction, which keeps its lock.
  Statement header;
  return header.Prepare(*this, "PRAGMA user_version") &&
         header.Step() == Statement::StepResult::kRow;
}

int Database::Changes() const { return sqlite3_changes(db_); }

bool Database::HasTable(const std::string& name) {
  // The pragma costs far less to compile than a query of sqlite_master.
  const SqlText sql(sqlite3_mprintf("PRAGMA main.table_list(\"%w\")", name.c_str()));
  Statement pragma;
  if (!sql || !pragma.Prepare(*this, sql.get())) return false;
  while (pragma.Step() == Statement::StepResult::kRow) {
    const char* type = pragma.ColumnText(2);
    if (type != nullptr && sqlite3_stricmp(type, "table") == 0) return true;
  }
  return false;
}

bool Database::LastFailureWasLock() const {
  const int code = sqlite3_errcode(db_) & 0xff;
  return code == SQLITE_BUSY || code == SQLITE_LOCKED;
}

bool Database::NeedsRecovery() const {
  return sqlite3_extended_errcode(db_) == SQLITE_READONLY_ROLLBACK;
}

int Database::UserVersion() {
  Statement pragma;
  if (!pragma.Prepare(*this, "PRAGMA user_version") ||
      pragma.Step() != Statement::StepResult::kRow) {
    return 0;
  }
  return static_cast<int>(pragma.ColumnInt64(0));
}

std::vector<std::string> Database::Columns(const std::string& table) {
  std::vector<std::string> names;
  const SqlText sql(sqlite3_mprintf("PRAGMA table_info(\"%w\")", table.c_str()));
  Statement pragma;
  if (!sql || !pragma.Prepare(*this, sql.get())) return names;
  while (pragma.Step() == Statement::StepResult::kRow) {
    const char* name = pragma.ColumnText(1);
    if (name != nullptr) names.emplace_back(name);
  }
  return names;
}

bool Database::WithoutRowid(const std::string& table) {
  const SqlText sql(sqlite3_mprintf("PRAGMA main.table_list(\"%w\")", table.c_str()));
  Statement pragma;
  if (!sql || !pragma.Prepare(*this, sql.get())) return false;
  while (pragma.Step() == Statement::StepResult::kRow) {
    const char* type = pragma.ColumnText(2);
    if (type != nullptr && sqlite3_stricmp(type, "table") == 0) return pragma.ColumnInt64(4) != 0;
  }
  return false;
}

std::vector<std::string> Database::PrimaryKey(const std::string& table) {
  std::vector<std::pair<int64_t, std::string>> key;
  const SqlText sql(sqlite3_mprintf("PRAGMA table_info(\"%w\")", table.c_str()));
  Statement pragma;
  if (sql && pragma.Prepare(*this, sql.get())) {
    while (pragma.Step() == Statement::StepResult::kRow) {
      const char* name = pragma.ColumnText(1);
      const int64_t position = pragma.ColumnInt64(5);
      if (name != nullptr && position > 0) key.emplace_back(position, name);
    }
  }
  std::sort(key.begin(), key.end());
  std::vector<std::string> names;
  for (auto& [position, name] : key) names.push_back(std::move(name));
  return names;
}

bool Database::IsWal() {
  Statement pragma;
  if (!pragma.Prepare(*this, "PRAGMA journal_mode") ||
      pragma.Step() != Statement::StepResult::kRow) {
    return false;
  }
  const char* mode = pragma.ColumnText(0);
  return mode != nullptr && sqlite3_stricmp(mode, "wal") == 0;
}

bool Database::InTransaction() const { return sqlite3_get_autocommit(db_) == 0; }

void Database::Close() {
  if (db_ != nullptr) {
    // Nothing of ours stays unfinalized (sqlite3_exec finishes its statements, a
    // Statement dies before its connection), so the close cannot be refused.
    sqlite3_close(db_);
    db_ = nullptr;
  }
}

// ---- Statement

Statement::Statement(Statement&& other) noexcept : stmt_(std::exchange(other.stmt_, nullptr)) {}

Statement& Statement::operator=(Statement&& other) noexcept {
  if (this != &other) {
    sqlite3_finalize(stmt_);
    stmt_ = std::exchange(other.stmt_, nullptr);
  }
  return *this;
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

bool Statement::Prepare(Database& db, const std::string& sql) {
  sqlite3_finalize(stmt_);
  stmt_ = nullptr;
  const int result = sqlite3_prepare_v3(db.handle(), sql.c_str(), static_cast<int>(sql.size()),
                                        SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr);
  if (!Succeeded(result)) {
    sqlite3_finalize(stmt_);
    stmt_ = nullptr;
    return false;
  }
  return stmt_ != nullptr;
}

Statement::StepResult Statement::Step() {
  switch (sqlite3_step(stmt_) & 0xff) {
    case SQLITE_ROW:
      return StepResult::kRow;
    case SQLITE_DONE:
      return StepResult::kDone;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return StepResult::kLocked;
    default:
      return StepResult::kFailed;
  }
}

void Statement::Reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

void Statement::BindInt64(int index, int64_t value) { sqlite3_bind_int64(stmt_, index, value); }

const char* Statement::ColumnText(int column) const {
  return reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
}

int64_t Statement::ColumnInt64(int column) const { return sqlite3_column_int64(stmt_, column); }

int Statement::ColumnCount() const { return sqlite3_column_count(stmt_); }

Value Statement::ColumnValue(int column) const {
  Value copy;
  copy.value_ = sqlite3_value_dup(sqlite3_column_value(stmt_, column));
  return copy;
}

bool Statement::BindValue(int index, const Value& value) {
  return value.value_ != nullptr && Succeeded(sqlite3_bind_value(stmt_, index, value.value_));
}

// ---- Value

Value::Value(Value&& other) noexcept : value_(std::exchange(other.value_, nullptr)) {}

Value& Value::operator=(Value&& other) noexcept {
  if (this != &other) {
    sqlite3_value_free(value_);
    value_ = std::exchange(other.value_, nullptr);
  }
  return *this;
}

Value::~Value() { sqlite3_value_free(value_); }

// ---- SqlText

SqlText::SqlText(SqlText&& other) noexcept : text_(std::exchange(other.text_, nullptr)) {}

SqlText& SqlText::operator=(SqlText&& other) noexcept {
  if (this != &other) {
    sqlite3_free(text_);
    text_ = std::exchange(other.text_, nullptr);
  }
  return *this;
}

SqlText::~SqlText() { sqlite3_free(text_); }

std::wstring CellText(const char* cell) {
  return cell == nullptr ? std::wstring(L"(null)") : WideFromBytes(std::string_view(cell));
}

}  // namespace sqlite_access
