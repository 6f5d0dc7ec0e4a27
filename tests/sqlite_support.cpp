#include "sqlite_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/platform.h"
#include "sqlite3.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace fs = std::filesystem;

// ---- Table definitions

const char kChromeSchemaV12[] =
    "CREATE TABLE meta(key LONGVARCHAR NOT NULL UNIQUE PRIMARY KEY, value LONGVARCHAR);"
    "INSERT INTO meta VALUES('mmap_status','-1'),('version','12'),"
    "('last_compatible_version','12');"
    "CREATE TABLE cookies(creation_utc INTEGER NOT NULL,host_key TEXT NOT NULL,"
    "name TEXT NOT NULL,value TEXT NOT NULL,path TEXT NOT NULL,expires_utc INTEGER NOT NULL,"
    "is_secure INTEGER NOT NULL,is_httponly INTEGER NOT NULL,last_access_utc INTEGER NOT NULL,"
    "has_expires INTEGER NOT NULL DEFAULT 1,is_persistent INTEGER NOT NULL DEFAULT 1,"
    "priority INTEGER NOT NULL DEFAULT 1,encrypted_value BLOB DEFAULT '',"
    "samesite INTEGER NOT NULL DEFAULT -1,source_scheme INTEGER NOT NULL DEFAULT 0,"
    "UNIQUE (host_key, name, path));";

const char kChromeSchemaCurrent[] =
    "CREATE TABLE meta(key LONGVARCHAR NOT NULL UNIQUE PRIMARY KEY, value LONGVARCHAR);"
    "INSERT INTO meta VALUES('mmap_status','-1'),('version','23'),"
    "('last_compatible_version','23');"
    "CREATE TABLE cookies(creation_utc INTEGER NOT NULL,host_key TEXT NOT NULL,"
    "top_frame_site_key TEXT NOT NULL,name TEXT NOT NULL,value TEXT NOT NULL,"
    "encrypted_value BLOB NOT NULL,path TEXT NOT NULL,expires_utc INTEGER NOT NULL,"
    "is_secure INTEGER NOT NULL,is_httponly INTEGER NOT NULL,last_access_utc INTEGER NOT NULL,"
    "has_expires INTEGER NOT NULL,is_persistent INTEGER NOT NULL,priority INTEGER NOT NULL,"
    "samesite INTEGER NOT NULL,source_scheme INTEGER NOT NULL,source_port INTEGER NOT NULL,"
    "last_update_utc INTEGER NOT NULL,source_type INTEGER NOT NULL,"
    "has_cross_site_ancestor INTEGER NOT NULL);"
    "CREATE UNIQUE INDEX cookies_unique_index ON cookies(host_key, top_frame_site_key, "
    "has_cross_site_ancestor, name, path, source_scheme, source_port);";

const char kChromiumSchemaV24[] =
    "CREATE TABLE meta(key LONGVARCHAR NOT NULL UNIQUE PRIMARY KEY, value LONGVARCHAR);"
    "INSERT INTO meta VALUES('mmap_status','-1'),('version','24'),"
    "('last_compatible_version','24');"
    "CREATE TABLE cookies(creation_utc INTEGER NOT NULL, host_key TEXT NOT NULL, "
    "top_frame_site_key TEXT NOT NULL, name TEXT NOT NULL, value TEXT NOT NULL, "
    "encrypted_value BLOB NOT NULL, path TEXT NOT NULL, expires_utc INTEGER NOT NULL, "
    "is_secure INTEGER NOT NULL, is_httponly INTEGER NOT NULL, last_access_utc INTEGER NOT NULL, "
    "has_expires INTEGER NOT NULL, is_persistent INTEGER NOT NULL, priority INTEGER NOT NULL, "
    "samesite INTEGER NOT NULL, source_scheme INTEGER NOT NULL, source_port INTEGER NOT NULL, "
    "last_update_utc INTEGER NOT NULL, source_type INTEGER NOT NULL, "
    "has_cross_site_ancestor INTEGER NOT NULL);"
    "CREATE UNIQUE INDEX cookies_unique_index ON cookies(host_key, top_frame_site_key, "
    "has_cross_site_ancestor, name, path, source_scheme, source_port);";

const char kFirefoxCookieSchemaV17[] =
    "PRAGMA journal_mode=WAL;"
    "PRAGMA user_version=17;"
    "CREATE TABLE moz_cookies (id INTEGER PRIMARY KEY, originAttributes TEXT NOT NULL DEFAULT '', "
    "name TEXT, value TEXT, host TEXT, path TEXT, expiry INTEGER, lastAccessed INTEGER, "
    "creationTime INTEGER, isSecure INTEGER, isHttpOnly INTEGER, inBrowserElement INTEGER DEFAULT 0, "
    "sameSite INTEGER DEFAULT 0, schemeMap INTEGER DEFAULT 0, "
    "isPartitionedAttributeSet INTEGER DEFAULT 0, updateTime INTEGER, "
    "CONSTRAINT moz_uniqueid UNIQUE (name, host, path, originAttributes))";

const char kFirefoxCookieSchema[] =
    "PRAGMA journal_mode=WAL;"
    "PRAGMA user_version=10;"
    "CREATE TABLE moz_cookies (id INTEGER PRIMARY KEY, baseDomain TEXT, "
    "originAttributes TEXT NOT NULL DEFAULT '', name TEXT, value TEXT, host TEXT, path TEXT, "
    "expiry INTEGER, lastAccessed INTEGER, creationTime INTEGER, isSecure INTEGER, "
    "isHttpOnly INTEGER, inBrowserElement INTEGER DEFAULT 0, sameSite INTEGER DEFAULT 0, "
    "CONSTRAINT moz_uniqueid UNIQUE (name, host, path, originAttributes));"
    "CREATE INDEX moz_basedomain ON moz_cookies (baseDomain, originAttributes);";

const char kWebappsstoreSchemaOld[] =
    "CREATE TABLE webappsstore2 (scope TEXT, key TEXT, value TEXT, secure INTEGER, owner TEXT);"
    "CREATE UNIQUE INDEX scope_key_index ON webappsstore2(scope, key);"
    "CREATE TABLE webappsstore (domain TEXT, key TEXT, value TEXT, secure INTEGER, owner TEXT);"
    "CREATE UNIQUE INDEX domainkeyindex ON webappsstore(domain, key);";

const char kWebappsstoreSchemaCurrent[] =
    "PRAGMA journal_mode=WAL;"
    "CREATE TABLE webappsstore2 (originAttributes TEXT, originKey TEXT, scope TEXT, key TEXT, "
    "value TEXT);"
    "CREATE UNIQUE INDEX origin_key_index ON webappsstore2(originAttributes, originKey, key);";

// ---- TestDb

TestDb::TestDb(const std::wstring& path) {
  const int result = sqlite3_open_v2(platform::PathForSqlite(path).c_str(), &db_,
                                     SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  EXPECT_EQ(result, SQLITE_OK) << platform::Utf8FromWide(path);
}

TestDb::~TestDb() { sqlite3_close(db_); }

void TestDb::Exec(const std::string& sql) {
  char* error = nullptr;
  const int result = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error);
  EXPECT_EQ(result, SQLITE_OK) << sql << ": " << (error ? error : "");
  sqlite3_free(error);
}

void TestDb::Run(const std::string& sql, const std::vector<Cell>& cells) {
  sqlite3_stmt* statement = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr), SQLITE_OK) << sql;
  for (size_t i = 0; i < cells.size(); ++i) {
    const int index = static_cast<int>(i) + 1;
    if (cells[i]) {
      sqlite3_bind_text(statement, index, cells[i]->data(), static_cast<int>(cells[i]->size()),
                        SQLITE_TRANSIENT);
    } else {
      sqlite3_bind_null(statement, index);
    }
  }
  EXPECT_EQ(sqlite3_step(statement), SQLITE_DONE) << sql << ": " << sqlite3_errmsg(db_);
  sqlite3_finalize(statement);
}

std::vector<std::string> TestDb::Rows(const std::string& sql) {
  std::vector<std::string> rows;
  sqlite3_stmt* statement = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr), SQLITE_OK) << sql;
  if (statement == nullptr) return rows;
  while (sqlite3_step(statement) == SQLITE_ROW) {
    std::string row;
    for (int i = 0; i < sqlite3_column_count(statement); ++i) {
      if (i > 0) row += '|';
      if (sqlite3_column_type(statement, i) == SQLITE_NULL) {
        row += "<NULL>";
      } else {
        const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement, i));
        row.append(bytes == nullptr ? "" : bytes,
                   static_cast<size_t>(sqlite3_column_bytes(statement, i)));
      }
    }
    rows.push_back(row);
  }
  sqlite3_finalize(statement);
  return rows;
}

int64_t TestDb::Count(const std::string& table) {
  const std::vector<std::string> rows = Rows("SELECT count(*) FROM " + table);
  return rows.size() == 1 ? std::stoll(rows[0]) : -1;
}

void TestDb::KeepWalOnClose() {
  EXPECT_EQ(sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr), SQLITE_OK);
}

// ---- Folders

std::map<std::string, std::string> Snapshot(const TempTree& tree, const std::string& relative) {
  std::map<std::string, std::string> files;
  const fs::path root = tree.Native(relative);
  if (!fs::exists(root)) return files;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
    const std::u8string name = entry.path().lexically_relative(root).generic_u8string();
    const std::string key(name.begin(), name.end());
    if (entry.is_directory()) {
      files[key + "/"] = "";
    } else {
      std::ifstream in(entry.path(), std::ios::binary);
      std::ostringstream content;
      content << in.rdbuf();
      files[key] = content.str();
    }
  }
  return files;
}

ProfileAt::ProfileAt(const TempTree& tree, const std::string& relative) {
  tree.MakeDir(relative);
  platform::SetProfileRoot(tree.Path(relative));
}

ProfileAt::~ProfileAt() { platform::SetProfileRoot(L""); }

// ---- LockHolder

#ifdef _WIN32
const char kHeldByChromium[] = "NOSHARE";
#else
const char kHeldByChromium[] = "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; COMMIT;";
#endif
const char kHeldByFirefox[] = "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; COMMIT;";
const char kHeldByLevelDb[] = "LEVELDB";

namespace {

constexpr auto kLockWait = std::chrono::seconds(60);
constexpr auto kPoll = std::chrono::milliseconds(20);

bool PathExists(const std::wstring& path) { return platform::FileExists(path); }

void TouchFile(const std::wstring& path) {
  platform::File file = platform::File::CreateNew(path);
  EXPECT_TRUE(file.is_open());
}

}  // namespace

#ifdef _WIN32

struct LockHolder::Process {
  HANDLE handle = nullptr;

  static std::wstring HelperPath() {
    std::wstring exe(32768, L'\0');
    exe.resize(GetModuleFileNameW(nullptr, exe.data(), static_cast<DWORD>(exe.size())));
    return exe.substr(0, exe.find_last_of(L"\\/") + 1) + L"sqlite_lock_holder.exe";
  }
  static std::wstring Quote(const std::wstring& arg) { return L"\"" + arg + L"\""; }

  bool Start(const std::vector<std::wstring>& args) {
    std::wstring command = Quote(HelperPath());
    for (const std::wstring& arg : args) command += L" " + Quote(arg);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
      return false;
    }
    CloseHandle(info.hThread);
    handle = info.hProcess;
    return true;
  }
  bool Exited() const { return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0; }
  void Wait() {
    if (handle == nullptr) return;
    if (WaitForSingleObject(handle, 60000) != WAIT_OBJECT_0) TerminateProcess(handle, 1);
    WaitForSingleObject(handle, INFINITE);
    CloseHandle(handle);
    handle = nullptr;
  }
};

#else

struct LockHolder::Process {
  pid_t pid = -1;

  static std::string HelperPath() {
    return (fs::read_symlink("/proc/self/exe").parent_path() / "sqlite_lock_holder").string();
  }

  bool Start(const std::vector<std::wstring>& args) {
    const std::string helper = HelperPath();
    std::vector<std::string> texts{helper};
    for (const std::wstring& arg : args) texts.push_back(platform::PathForSqlite(arg));
    std::vector<char*> argv;
    for (std::string& text : texts) argv.push_back(text.data());
    argv.push_back(nullptr);
    return posix_spawn(&pid, helper.c_str(), nullptr, nullptr, argv.data(), environ) == 0;
  }
  bool Exited() {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) != pid) return false;
    pid = -1;
    return true;
  }
  void Wait() {
    if (pid < 0) return;
    const auto deadline = std::chrono::steady_clock::now() + kLockWait;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        break;
      }
      std::this_thread::sleep_for(kPoll);
    }
    pid = -1;
  }
};

#endif

LockHolder::LockHolder(const std::wstring& db_path, const std::string& sql,
                       const TempTree& scratch)
    : process_(std::make_unique<Process>()) {
  static int counter = 0;
  const std::string stem = "lock-" + std::to_string(counter++);
  const std::wstring ready_file = scratch.Path(stem + ".ready");
  release_file_ = scratch.Path(stem + ".release");
  // The SQL travels as a command-line argument: keep it free of double quotes.
  const std::wstring sql_arg(sql.begin(), sql.end());
  if (!process_->Start({db_path, sql_arg, ready_file, release_file_})) {
    ADD_FAILURE() << "cannot start sqlite_lock_holder";
    return;
  }
  const auto deadline = std::chrono::steady_clock::now() + kLockWait;
  while (!PathExists(ready_file)) {
    if (process_->Exited() || std::chrono::steady_clock::now() > deadline) {
      ADD_FAILURE() << "sqlite_lock_holder did not take the lock: " << sql;
      return;
    }
    std::this_thread::sleep_for(kPoll);
  }
  holding_ = true;
}

LockHolder::~LockHolder() { Release(); }

void LockHolder::Release() {
  if (!process_) return;
  TouchFile(release_file_);
  process_->Wait();
  process_.reset();
  holding_ = false;
}
