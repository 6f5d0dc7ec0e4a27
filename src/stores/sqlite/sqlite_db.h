// SQLite access: owners of what SQLite hands out. Each is movable, not
// copyable, and releases its resource with the one call SQLite prescribes for it:
// a connection with sqlite3_close, a statement with sqlite3_finalize, a value with
// sqlite3_value_free, an sqlite3_mprintf text with sqlite3_free.
//
// Results are stepped through a row at a time, never gathered whole: what a query
// holds in memory does not grow with the table it reads.
//
// SQLite's result codes stay inside sqlite_db.cpp; callers see only success or
// failure.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;
struct sqlite3_value;

namespace sqlite_access {

// A connection to one database file.
class Database {
 public:
  Database() = default;
  Database(Database&& other) noexcept;
  // Closes the connection held before.
  Database& operator=(Database&& other) noexcept;
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;
  ~Database();

  // How a connection may use its file.
  enum class Access {
    // Read-only (SQLITE_OPEN_READONLY): no byte of the database, its -wal or its
    // -journal changes; only SQLite's -shm index may. A WAL database without a -wal
    // file is opened immutable, so that no empty -wal and -shm are left behind. A
    // hot journal is not rolled back: the first read fails (NeedsRecovery).
    kRead,
    // Read-write: SQLite rolls a hot journal back before the first read.
    kWrite,
  };

  // Why OpenExisting turned down a file that exists.
  enum class Refusal {
    kNone,
    // Another program holds it open without sharing it (platform::FileInUse).
    kInUse,
    // For kWrite: the database, its -wal, -journal or -shm has more than one link
    // (platform::LinkCount), so that writing it would change a file elsewhere too.
    kHardLinked,
  };

  // Opens an existing database file, for use by one thread at a time (SQLite's
  // own locking of the connection is off). Never creates a file: a missing file, a
  // folder, a link or reparse point, or a file SQLite cannot open gives false, and a
  // handle SQLite returned with its failure is closed at once. The path reaches
  // SQLite as UTF-8 (platform::PathForSqlite). A connection held before is closed
  // first. *refusal (when given) tells why a file that exists was not opened, else
  // kNone.
  // Before its first statement the connection distrusts the file: triggers and
  // views are off, the schema is untrusted and defensive mode on, cells are checked
  // for size, nothing is memory-mapped, and texts, blobs and statements are bounded
  // (kMaxLength, kMaxSqlLength).
  // The connection does at most kWorkBudget steps of SQLite's virtual machine in
  // all; past that every statement fails (interrupted), so that no database can
  // keep a scan or a clean busy without end.
  bool OpenExisting(const std::wstring& path, Access access = Access::kWrite,
                    Refusal* refusal = nullptr);

  // Bounds on what one connection reads: far above any browser's value or schema.
  static constexpr int kMaxLength = 8 << 20;     // a text, a blob or a row, in bytes
  static constexpr int kMaxSqlLength = 1 << 20;  // one statement, in bytes
  static constexpr int kMaxColumns = 500;        // columns of a table or result
  static constexpr int kMaxExprDepth = 200;      // nesting of an expression

  // Steps of SQLite's virtual machine one connection may take: about a hundred
  // times what the largest browser databases need.
  static constexpr int64_t kWorkBudget = 200'000'000;

  bool is_open() const { return db_ != nullptr; }
  sqlite3* handle() const { return db_; }

  // sqlite3_exec of `sql` without a callback; true on success. Does not wait for
  // locks held by other connections (no busy handler): a locked database fails at
  // once.
  // REQUIRES: is_open().
  bool Execute(const char* sql);

  // True once the connection has used up its budget of work.
  bool Exhausted() const { return work_left_ < 0; }

  // Starts a transaction and takes SQLite's read lock at once (a deferred BEGIN,
  // then a read of the database header): the statements that follow read one state
  // of the database under that one lock, instead of locking and checking the file
  // anew for each. Never takes a write lock; the lock ends with the transaction
  // (ROLLBACK, COMMIT or Close). The first read of the file happens here: false
  // when it fails (see LastFailureWasLock, NeedsRecovery).
  // REQUIRES: is_open(), no transaction open.
  bool BeginRead();

  // True when the last call on the connection failed because another connection
  // holds a lock on the database (SQLITE_BUSY or SQLITE_LOCKED).
  // REQUIRES: is_open().
  bool LastFailureWasLock() const;

  // True when the last call failed because a read-only connection met a hot
  // journal: the database needs SQLite's recovery (a write) before it can be read.
  // REQUIRES: is_open().
  bool NeedsRecovery() const;

  // PRAGMA user_version; 0 when it cannot be read.
  // REQUIRES: is_open().
  int UserVersion();

  // The names of the columns of `table`, in their order, as PRAGMA table_info gives
  // them (their letter case kept); empty for a missing table.
  // REQUIRES: is_open().
  std::vector<std::string> Columns(const std::string& table);

  // True when `table` is a table declared WITHOUT ROWID (PRAGMA table_list).
  // REQUIRES: is_open().
  bool WithoutRowid(const std::string& table);

  // The columns of the primary key of `table`, in the key's order (PRAGMA
  // table_info's pk); empty when it declares none.
  // REQUIRES: is_open().
  std::vector<std::string> PrimaryKey(const std::string& table);

  // True when the database is in WAL mode.
  // REQUIRES: is_open().
  bool IsWal();

  // The rows that the last successful INSERT, UPDATE or DELETE changed (triggers'
  // changes not included).
  // REQUIRES: is_open().
  int Changes() const;

  // True when the database holds an ordinary table of that name (not a view, nor a
  // virtual or shadow table), whatever the letter case of its name.
  // REQUIRES: is_open().
  bool HasTable(const std::string& name);

  // True while an explicit transaction (BEGIN ...) is open. SQLite ends one on its
  // own when certain errors (a full disk, an I/O error) roll it back.
  // REQUIRES: is_open().
  bool InTransaction() const;

  // Closes the connection (an open transaction is rolled back). Nothing when closed.
  void Close();

 private:
  static int Progress(void* self);
  // Points SQLite's progress handler at this object (again, after a move).
  void WatchProgress();

  sqlite3* db_ = nullptr;
  int64_t work_left_ = kWorkBudget;
};

// A copy of one value a statement returned (sqlite3_value_dup), freed with
// sqlite3_value_free: its type and bytes stay exactly as SQLite gave them.
class Value {
 public:
  Value() = default;
  Value(Value&& other) noexcept;
  // Frees the value held before.
  Value& operator=(Value&& other) noexcept;
  Value(const Value&) = delete;
  Value& operator=(const Value&) = delete;
  ~Value();

  bool has_value() const { return value_ != nullptr; }

 private:
  friend class Statement;
  sqlite3_value* value_ = nullptr;
};

// A prepared statement (sqlite3_prepare_v3), finalized on destruction.
// REQUIRES: destroyed before the Database it was prepared on is closed.
class Statement {
 public:
  enum class StepResult { kRow, kDone, kLocked, kFailed };

  Statement() = default;
  Statement(Statement&& other) noexcept;
  // Finalizes the statement held before.
  Statement& operator=(Statement&& other) noexcept;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  ~Statement();

  // Prepares the one statement `sql` (marked persistent: it is stepped many times).
  // False when it does not compile (see Database::LastFailureWasLock for why).
  // REQUIRES: db.is_open().
  bool Prepare(Database& db, const std::string& sql);
  bool is_prepared() const { return stmt_ != nullptr; }

  // sqlite3_step: a row, the end, a lock held by another connection, or another
  // failure.
  StepResult Step();
  // Makes the statement ready to run again, its parameters cleared.
  void Reset();
  void BindInt64(int index, int64_t value);
  // Binds the value exactly, its type and bytes included. False when it cannot
  // (an empty Value, out of memory).
  bool BindValue(int index, const Value& value);

  // The column of the current row as SQLite's text, null for SQL NULL; valid until
  // the next Step or Reset.
  const char* ColumnText(int column) const;
  int64_t ColumnInt64(int column) const;
  // A copy of the column of the current row; empty when out of memory.
  Value ColumnValue(int column) const;
  // The columns of its result rows.
  int ColumnCount() const;

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

// The text of sqlite3_mprintf.
class SqlText {
 public:
  SqlText() = default;
  // Takes ownership of a text from sqlite3_mprintf (null allowed: no text).
  explicit SqlText(char* text) : text_(text) {}
  SqlText(SqlText&& other) noexcept;
  // Frees the text held before.
  SqlText& operator=(SqlText&& other) noexcept;
  SqlText(const SqlText&) = delete;
  SqlText& operator=(const SqlText&) = delete;
  ~SqlText();

  const char* get() const { return text_; }
  explicit operator bool() const { return text_ != nullptr; }

 private:
  char* text_ = nullptr;
};

// A cell as item text, byte n as character n; SQL NULL reads "(null)", as the
// runtime's formatting shows a null text.
std::wstring CellText(const char* cell);

}  // namespace sqlite_access
