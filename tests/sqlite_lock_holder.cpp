// A separate process that holds a lock on a database for the tests:
//
//   sqlite_lock_holder DATABASE SQL READY_FILE RELEASE_FILE
//
// opens DATABASE (which must exist), runs SQL (say "BEGIN EXCLUSIVE"), creates
// READY_FILE, waits until RELEASE_FILE exists (at most two minutes), rolls back and
// exits. Exit status 1 when the database cannot be opened or SQL fails.
//
// On Windows, SQL "NOSHARE" opens the file with no sharing at all instead, as a
// running Chromium browser holds its Cookies database. SQL "LEVELDB" opens
// DATABASE as a LevelDB folder instead, which takes its LOCK as a running browser
// does.
#include <leveldb/db.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "platform/leveldb_env.h"
#include "sqlite3.h"

#ifdef _WIN32
#include <windows.h>
using Arg = std::wstring;
std::string Utf8(const Arg& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), size, nullptr, nullptr);
  out.resize(static_cast<size_t>(size > 0 ? size - 1 : 0));
  return out;
}
bool Exists(const Arg& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
void Touch(const Arg& path) {
  if (FILE* file = _wfopen(path.c_str(), L"wb")) fclose(file);
}
#define ENTRY int wmain(int argc, wchar_t** argv)
#else
#include <sys/stat.h>
using Arg = std::string;
std::string Utf8(const Arg& text) { return text; }
bool Exists(const Arg& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}
void Touch(const Arg& path) {
  if (FILE* file = std::fopen(path.c_str(), "wb")) std::fclose(file);
}
#define ENTRY int main(int argc, char** argv)
#endif

// Waits until `release` exists, at most two minutes.
void WaitFor(const Arg& release) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
  while (!Exists(release) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

ENTRY {
  if (argc != 5) return 2;
  const std::string database = Utf8(argv[1]);
  const std::string sql = Utf8(argv[2]);
  const Arg ready = argv[3];
  const Arg release = argv[4];

#ifdef _WIN32
  if (sql == "NOSHARE") {
    const HANDLE file = CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    Touch(ready);
    WaitFor(release);
    CloseHandle(file);
    return 0;
  }
#endif
  if (sql == "LEVELDB") {
    leveldb::Options options;
    options.env = platform::LevelDbEnv();
    leveldb::DB* db = nullptr;
    if (!leveldb::DB::Open(options, database, &db).ok()) return 1;
    Touch(ready);
    WaitFor(release);
    delete db;
    return 0;
  }
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
      sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return 1;
  }
  Touch(ready);
  WaitFor(release);
  sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  return 0;
}
