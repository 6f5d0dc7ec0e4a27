// Test helpers for the SQLite stores: databases built with the browsers' own table
// definitions, snapshots of folders, and a lock held by another process.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/temp_tree.h"

struct sqlite3;

// ---- The browsers' table definitions

// Chrome's Cookies database as Chrome 80 creates it (meta version 12).
extern const char kChromeSchemaV12[];
// Chrome's Cookies database as Chrome 120 and later create it: no UNIQUE constraint
// on (host_key, name, path) but a unique index over more columns, so several rows
// may share creation_utc, host_key, name and path.
extern const char kChromeSchemaCurrent[];
// The Chromium family's Cookies database as today's versions create it (meta
// version 24): partitioned cookies keyed by top_frame_site_key.
extern const char kChromiumSchemaV24[];
// Firefox's cookies.sqlite (schema 17, Firefox 142 and later): expiry in
// milliseconds, no baseDomain.
extern const char kFirefoxCookieSchemaV17[];
// Firefox's cookies.sqlite (schema 10, Firefox 60 to 77), in WAL mode as Firefox
// keeps it.
extern const char kFirefoxCookieSchema[];
// webappsstore.sqlite of Firefox 3 to 40: webappsstore2 keyed by scope, beside
// Firefox 2's older webappsstore keyed by domain.
extern const char kWebappsstoreSchemaOld[];
// webappsstore2 of Firefox 41 and later: scope kept beside originAttributes and
// originKey, unique per (originAttributes, originKey, key).
extern const char kWebappsstoreSchemaCurrent[];

// A cell value for TestDb: text bytes, or SQL NULL.
using Cell = std::optional<std::string>;

// A database written directly with SQLite, for building and checking test files.
class TestDb {
 public:
  // Opens (creating if needed) the database at `path` (a seam path).
  explicit TestDb(const std::wstring& path);
  TestDb(const TestDb&) = delete;
  TestDb& operator=(const TestDb&) = delete;
  ~TestDb();

  // Runs statements; fails the test on error.
  void Exec(const std::string& sql);
  // Runs one statement with `cells` bound as text (or NULL) to its "?" parameters.
  void Run(const std::string& sql, const std::vector<Cell>& cells);
  // Every row of a query, each cell as "<NULL>" or its exact bytes, joined by "|".
  std::vector<std::string> Rows(const std::string& sql);
  int64_t Count(const std::string& table);
  // Leaves a WAL database's -wal file as it is when this connection closes, so that
  // the newest rows stay there and only there.
  void KeepWalOnClose();

 private:
  sqlite3* db_ = nullptr;
};

// ---- Folders

// Every file below `root` (relative path with "/" -> exact bytes).
std::map<std::string, std::string> Snapshot(const TempTree& tree, const std::string& relative = "");

// While it lives, the known folders lie below `relative` in `tree` (a user profile
// folder whose name may hold any characters).
class ProfileAt {
 public:
  ProfileAt(const TempTree& tree, const std::string& relative);
  ProfileAt(const ProfileAt&) = delete;
  ProfileAt& operator=(const ProfileAt&) = delete;
  ~ProfileAt();
};

// ---- Locks

// What LockHolder runs to hold a Cookies database as a running Chromium browser
// does: exclusive locking mode natively; on Windows the file opened without any
// sharing ("NOSHARE").
extern const char kHeldByChromium[];
// How a running Firefox holds its databases: exclusive locking mode.
extern const char kHeldByFirefox[];
// How a running Chromium browser holds a LevelDB folder (its local storage): the
// database open, its LOCK taken. LockHolder is given the folder.
extern const char kHeldByLevelDb[];

// Another process that opens a database and runs `sql` in it (say "BEGIN
// EXCLUSIVE"), or on Windows opens the file without sharing (`sql` "NOSHARE"), and holds what that took until Release() or destruction. Locks are
// taken from a separate process because a process drops its own POSIX locks on a
// file whenever it closes any other handle to that file.
class LockHolder {
 public:
  LockHolder(const std::wstring& db_path, const std::string& sql, const TempTree& scratch);
  LockHolder(const LockHolder&) = delete;
  LockHolder& operator=(const LockHolder&) = delete;
  ~LockHolder();

  // True once the other process holds the lock.
  bool holding() const { return holding_; }
  // Lets the other process end its transaction and exit; waits for it.
  void Release();

 private:
  struct Process;
  std::unique_ptr<Process> process_;
  std::wstring release_file_;
  bool holding_ = false;
};
