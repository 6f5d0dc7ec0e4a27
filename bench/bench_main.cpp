// ts-bench: times one store (or the whole sequence, or a floor) on a profile.
//
//   ts-bench --profile DIR --store NAME --mode scan|clean [--tracker-list FILE] [--patterns FILE]
//            [--repeat N]
//   ts-bench --profile DIR --floor read|select [--repeat N]
//   ts-bench --profile DIR --floor select --store NAME [--repeat N]
//   ts-bench --profile DIR --floor delete --store NAME
//   ts-bench --read-list FILE [--repeat N]
//   ts-bench --list | --list-floors
//
// Prints one JSON object: the seconds of each run (on the clock and of processor
// time), the items found (scan) or
// removed (clean), and this program's own peak resident memory in KiB (VmHWM). A clean changes
// the profile, so the runner gives every clean run a fresh copy; the delete floor
// changes the store's databases, so it runs once on a fresh copy too. The filter is
// the default patterns (or those of --patterns FILE, one per line), with the tracker
// lists given read before the clock starts.
// --read-list times reading and indexing one tracker list (count: its domains) and
// also reports the lines it skipped and how much this program's own peak memory
// grew while it was read (added_kib).
//
// The floors: reading every byte of the profile once; SQLite's own SELECT of the
// columns the database stores read, over the whole profile or one store's
// databases; and SQLite's own DELETE of one store's evil rows.
#include <fnmatch.h>
#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <cxxopts.hpp>
#include <nlohmann/json.hpp>
#include <sqlite3.h>

#include "app/settings.h"
#include "model/cookie.h"
#include "model/filter.h"
#include "model/tracker_list.h"
#include "scan/scanner.h"
#include "platform/platform.h"

namespace {

namespace fs = std::filesystem;

// A store's run: a scan fills the lists given, which the caller keeps until the
// clock has stopped (freeing what a scan found is not part of the scan).
using StoreRun = std::function<int(const CCookieFilter&, bool clean, CScanLists* lists)>;

const std::map<std::string, StoreRun>& Stores() {
  // "<browser>-<kind>" for every store of the table of browsers, and "all".
  static const auto stores = [] {
    std::map<std::string, StoreRun> map;
    for (const BrowserInfo& browser : Browsers()) {
      for (const StoreEntry& store : browser.stores) {
        // Chrome's second cookie store is the Chromium family's.
        std::string name = std::string(browser.console_name) + "-" + store.kind;
        if (map.count(name) != 0) name += "-family";
        map[name] = [&browser, &store](const CCookieFilter& filter, bool clean, CScanLists* lists) {
          return clean ? store.clean(browser, filter, nullptr)
                       : store.scan(browser, filter, *lists, nullptr);
        };
      }
    }
    map["all"] = [](const CCookieFilter& filter, bool clean, CScanLists* lists) {
      if (clean) return RunCleanSequence(filter, [](Browser) { return true; });
      RunScanSequence(filter, lists, [](Browser) { return true; });
      return static_cast<int>(lists->Total());
    };
    return map;
  }();
  return stores;
}

// Reads every byte of every file below the profile once.
int ReadFloor(const fs::path& profile) {
  std::vector<char> buffer(1 << 20);
  int files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(profile)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0) {
    }
    ++files;
  }
  return files;
}

// ---- The floors of the database stores

// How a store makes a row's site of the columns named for it.
enum class SiteForm {
  kJoined,         // the columns one after the other
  kReversedScope,  // a webappsstore2 scope: before its first ":", reversed
  kOrigin,         // a Safari origin: between its first and second "_"
};

// A table a store reads: the columns its SELECT names after the rowid, and those its
// site is made of.
struct TableFloor {
  const char* table;
  const char* columns;
  const char* site;
  SiteForm form;
};

// A database store: its databases below the profile (an fnmatch pattern, "*" within
// one folder name) and its tables.
struct DatabaseFloor {
  const char* store;
  const char* files;
  std::vector<TableFloor> tables;
};

const std::vector<DatabaseFloor>& DatabaseFloors() {
  static const std::vector<TableFloor> family = {
      {"cookies",
       "host_key, name, path, value, length(encrypted_value), expires_utc, top_frame_site_key",
       "host_key, path", SiteForm::kJoined}};
  static const std::vector<TableFloor> webappsstore = {
      {"webappsstore", "domain, key, value", "domain", SiteForm::kJoined},
      {"webappsstore2", "scope, key, value", "scope", SiteForm::kReversedScope}};
  static const std::vector<DatabaseFloor> floors = {
      {"chrome-cookies", "AppData/Local/Google/Chrome/User Data/*/Cookies",
       {{"cookies", "host_key, path, name, value, expires_utc, creation_utc", "host_key, path",
         SiteForm::kJoined}}},
      {"chrome-cookies-family", "AppData/Local/Google/Chrome/User Data/*/Network/Cookies", family},
      {"edge-cookies", "AppData/Local/Microsoft/Edge/User Data/*/Network/Cookies", family},
      {"firefox-cookies", "AppData/Roaming/Mozilla/Firefox/Profiles/*/cookies.sqlite",
       {{"moz_cookies", "id, name, value, host, expiry, path, originAttributes", "host, path",
         SiteForm::kJoined}}},
      {"firefox-storage", "AppData/Roaming/Mozilla/Firefox/Profiles/*/webappsstore.sqlite",
       webappsstore},
      {"firefox-site-storage",
       "AppData/Roaming/Mozilla/Firefox/Profiles/*/storage/ls-archive.sqlite", webappsstore},
      {"safari-storage", "AppData/Local/Apple Computer/Safari/Databases/Databases.db",
       {{"Databases", "origin, name, displayName, path", "origin", SiteForm::kOrigin}}},
  };
  return floors;
}

const DatabaseFloor* FloorOf(const std::string& store) {
  for (const DatabaseFloor& floor : DatabaseFloors()) {
    if (store == floor.store) return &floor;
  }
  return nullptr;
}

std::string Cell(sqlite3_stmt* statement, int column) {
  const unsigned char* cell = sqlite3_column_text(statement, column);
  return cell != nullptr ? reinterpret_cast<const char*>(cell) : "(null)";
}

// The text between the first and the second "_" of a Safari origin or file name,
// empty for none.
std::string_view OriginSite(std::string_view origin) {
  const size_t first = origin.find('_');
  const size_t second = first == std::string_view::npos ? first : origin.find('_', first + 1);
  return second == std::string_view::npos ? std::string_view()
                                          : origin.substr(first + 1, second - first - 1);
}

// The site of a row of "SELECT rowid, <site columns> ...", as the store makes it;
// empty for none.
std::string SiteOf(sqlite3_stmt* row, SiteForm form) {
  std::string site;
  for (int column = 1; column < sqlite3_column_count(row); ++column) site += Cell(row, column);
  if (form == SiteForm::kReversedScope) {
    site = site.substr(0, site.find(':'));
    std::reverse(site.begin(), site.end());
  } else if (form == SiteForm::kOrigin) {
    site = std::string(OriginSite(site));
  }
  return site;
}

bool Evil(const CCookieFilter& filter, std::string_view site) {
  return !site.empty() && filter.Find(site).has_value();
}

// What a floor works on, found before the clock starts: the store's databases, the
// transaction that deletes the evil rows of each (by rowid), and for Safari the
// files the store opens or removes beside its index (an evil row's database and
// folder, the evil local-storage files).
struct FloorWork {
  struct Database {
    fs::path file;
    std::string remove;  // the transaction that deletes its evil rows; empty for none
  };
  const DatabaseFloor* floor = nullptr;
  std::vector<Database> databases;
  std::vector<std::pair<fs::path, const char*>> reads;  // a file and its SELECT
  std::vector<fs::path> removals;
};

void AddSafariFiles(const fs::path& index, const CCookieFilter& filter, FloorWork* work) {
  const fs::path databases = index.parent_path();
  sqlite3* db = nullptr;
  sqlite3_stmt* rows = nullptr;
  if (sqlite3_open_v2(index.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
      sqlite3_prepare_v2(db, "SELECT origin, path FROM Databases", -1, &rows, nullptr) ==
          SQLITE_OK) {
    while (sqlite3_step(rows) == SQLITE_ROW) {
      const std::string origin = Cell(rows, 0);
      if (!Evil(filter, OriginSite(origin))) continue;
      work->reads.emplace_back(databases / origin / Cell(rows, 1), "SELECT k, v FROM persist_data");
      work->removals.push_back(databases / origin);
    }
  }
  sqlite3_finalize(rows);
  sqlite3_close(db);
  const fs::path local_storage = databases.parent_path() / "LocalStorage";
  if (!fs::is_directory(local_storage)) return;
  for (const auto& entry : fs::directory_iterator(local_storage)) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() != ".localstorage" || !Evil(filter, OriginSite(name))) continue;
    work->reads.emplace_back(entry.path(), "SELECT key, value FROM ItemTable");
    work->removals.push_back(entry.path());
  }
}

FloorWork PrepareFloor(const fs::path& profile, const DatabaseFloor& floor,
                       const CCookieFilter& filter) {
  FloorWork work;
  work.floor = &floor;
  const size_t prefix = (profile / "").generic_string().size();
  for (const auto& entry : fs::recursive_directory_iterator(profile)) {
    const std::string relative = entry.path().generic_string().substr(prefix);
    if (!entry.is_regular_file() || fnmatch(floor.files, relative.c_str(), FNM_PATHNAME) != 0) {
      continue;
    }
    FloorWork::Database database{entry.path(), {}};
    sqlite3* db = nullptr;
    sqlite3_open_v2(entry.path().c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    for (const TableFloor& table : floor.tables) {
      std::string rowids;
      const std::string sql = std::string("SELECT rowid, ") + table.site + " FROM " + table.table;
      sqlite3_stmt* rows = nullptr;
      if (sqlite3_prepare_v2(db, sql.c_str(), -1, &rows, nullptr) == SQLITE_OK) {
        while (sqlite3_step(rows) == SQLITE_ROW) {
          if (!Evil(filter, SiteOf(rows, table.form))) continue;
          rowids += (rowids.empty() ? "" : ",") + std::to_string(sqlite3_column_int64(rows, 0));
        }
      }
      sqlite3_finalize(rows);
      if (!rowids.empty()) {
        database.remove += std::string(" DELETE FROM ") + table.table + " WHERE rowid IN (" + rowids + ");";
      }
    }
    sqlite3_close(db);
    if (!database.remove.empty()) {
      database.remove = "PRAGMA secure_delete=ON; BEGIN IMMEDIATE;" + database.remove + " COMMIT;";
    }
    if (std::string(floor.store) == "safari-storage") AddSafariFiles(entry.path(), filter, &work);
    work.databases.push_back(std::move(database));
  }
  return work;
}

int CountRows(const fs::path& file, const std::vector<std::string>& queries) {
  int rows = 0;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    for (const std::string& sql : queries) {
      sqlite3_exec(
          db, sql.c_str(),
          [](void* count, int, char**, char**) {
            ++*static_cast<int*>(count);
            return 0;
          },
          &rows, nullptr);
    }
  }
  sqlite3_close(db);
  return rows;
}

// SQLite's own SELECT of the columns the store reads (the rowid first) over the
// store's databases, and of the files it opens beside them. The rows read.
int SelectFloor(const FloorWork& work) {
  int rows = 0;
  std::vector<std::string> queries;
  for (const TableFloor& table : work.floor->tables) {
    queries.push_back(std::string("SELECT rowid, ") + table.columns + " FROM " + table.table);
  }
  for (const FloorWork::Database& database : work.databases) rows += CountRows(database.file, queries);
  for (const auto& [file, sql] : work.reads) rows += CountRows(file, {sql});
  return rows;
}

// SQLite's own DELETE of the evil rows by rowid, in one transaction per database
// with secure delete on, as the store's clean runs it (open, delete, commit, close),
// then the removal of the files the store removes beside them. The rows deleted.
int DeleteFloor(const FloorWork& work) {
  int deleted = 0;
  for (const FloorWork::Database& database : work.databases) {
    if (database.remove.empty()) continue;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(database.file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
        sqlite3_exec(db, database.remove.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK) {
      deleted += static_cast<int>(sqlite3_total_changes(db));
    }
    sqlite3_close(db);
  }
  for (const fs::path& path : work.removals) fs::remove_all(path);
  return deleted;
}

// What the floors of every database store work on.
std::vector<FloorWork> PrepareFloors(const fs::path& profile, const CCookieFilter& filter) {
  std::vector<FloorWork> works;
  for (const DatabaseFloor& floor : DatabaseFloors()) works.push_back(PrepareFloor(profile, floor, filter));
  return works;
}

// The processor time the process has used so far, in user and in system mode.
double CpuSeconds() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The peak resident memory of this program alone (VmHWM): unlike ru_maxrss, which
// keeps the peak of the process that started it across exec, it starts afresh.
long HighWaterKib() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  }
  return 0;
}

// Reads the tracker list `path` into *list; false (and a message) when it gives none.
bool ReadList(const std::string& path, CTrackerList* list) {
  const std::wstring wide = platform::WideFromUtf8(path);
  const ListFileError error = LoadTrackerList(wide, wide, list);
  if (error == ListFileError::kNone) return true;
  std::cerr << path << " " << platform::Utf8FromWide(ListFileErrorText(error)) << "\n";
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  cxxopts::Options options("ts-bench", "Times the stores on a profile.");
  options.add_options()("profile", "profile folder", cxxopts::value<std::string>())(
      "store", "store name or 'all'", cxxopts::value<std::string>())(
      "mode", "scan or clean", cxxopts::value<std::string>()->default_value("scan"))(
      "floor", "read, select or delete", cxxopts::value<std::string>())(
      "repeat", "runs", cxxopts::value<int>()->default_value("1"))(
      "patterns", "the filter's patterns instead of the default ones (UTF-8, one per line)",
      cxxopts::value<std::string>())(
      "tracker-list", "a tracker list the filter holds (repeatable)",
      cxxopts::value<std::vector<std::string>>())(
      "read-list", "time reading and indexing this tracker list", cxxopts::value<std::string>())(
      "list", "print the store names, one per line")(
      "list-floors", "print the names of the stores with database floors, one per line");
  const auto parsed = options.parse(argc, argv);
  if (parsed.count("list") != 0) {
    for (const auto& store : Stores()) std::cout << store.first << "\n";
    return 0;
  }
  if (parsed.count("list-floors") != 0) {
    for (const DatabaseFloor& floor : DatabaseFloors()) std::cout << floor.store << "\n";
    return 0;
  }
  nlohmann::ordered_json result;
  if (parsed.count("read-list") != 0) {
    const std::string path = parsed["read-list"].as<std::string>();
    result["list"] = path;
    const long before = HighWaterKib();
    std::vector<double> seconds, cpu;
    size_t domains = 0, skipped = 0;
    for (int i = 0; i < parsed["repeat"].as<int>(); ++i) {
      const double cpu_start = CpuSeconds();
      const auto start = std::chrono::steady_clock::now();
      CTrackerList list;
      if (!ReadList(path, &list)) return 1;
      seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
      cpu.push_back(CpuSeconds() - cpu_start);
      domains = list.size();
      skipped = 0;
      for (size_t r = 0; r < CTrackerList::kSkipReasons; ++r) {
        skipped += list.skipped(static_cast<CTrackerList::Skip>(r));
      }
    }
    result["count"] = domains;
    result["seconds"] = seconds;
    result["cpu_seconds"] = cpu;
    result["skipped"] = skipped;
    result["added_kib"] = HighWaterKib() - before;
    std::cout << result.dump() << "\n";
    return 0;
  }
  if (parsed.count("profile") == 0) {
    std::cerr << options.help();
    return 2;
  }
  const std::string profile = parsed["profile"].as<std::string>();
  platform::SetProfileRoot(platform::WideFromUtf8(profile));
  std::vector<CTrackerList> tracker_lists;
  if (parsed.count("tracker-list") != 0) {
    for (const std::string& path : parsed["tracker-list"].as<std::vector<std::string>>()) {
      if (!ReadList(path, &tracker_lists.emplace_back())) return 1;
    }
  }
  std::wstring patterns = CtrackscrubApp::GetFilter();
  if (parsed.count("patterns") != 0) {
    std::ifstream in(parsed["patterns"].as<std::string>(), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    patterns = platform::WideFromUtf8(text);
  }
  const CCookieFilter filter(patterns, std::move(tracker_lists), CTrackerList());

  std::function<int()> run;
  std::optional<CScanLists> lists;
  if (parsed.count("floor") != 0) {
    const std::string floor = parsed["floor"].as<std::string>();
    result["floor"] = floor;
    const DatabaseFloor* of_store =
        parsed.count("store") != 0 ? FloorOf(parsed["store"].as<std::string>()) : nullptr;
    if (of_store != nullptr) result["store"] = of_store->store;
    if (floor == "read" && of_store == nullptr) {
      run = [&profile] { return ReadFloor(profile); };
    } else if (floor == "select" && parsed.count("store") == 0) {
      run = [works = PrepareFloors(profile, filter)] {
        int rows = 0;
        for (const FloorWork& work : works) rows += SelectFloor(work);
        return rows;
      };
    } else if (floor == "select" && of_store != nullptr) {
      run = [work = PrepareFloor(profile, *of_store, filter)] { return SelectFloor(work); };
    } else if (floor == "delete" && of_store != nullptr) {
      run = [work = PrepareFloor(profile, *of_store, filter)] { return DeleteFloor(work); };
    } else {
      std::cerr << options.help();
      return 2;
    }
  } else {
    const std::string store = parsed["store"].as<std::string>();
    const auto entry = Stores().find(store);
    if (entry == Stores().end()) {
      std::cerr << "unknown store " << store << "\n";
      return 2;
    }
    const bool clean = parsed["mode"].as<std::string>() == "clean";
    result["store"] = store;
    result["mode"] = clean ? "clean" : "scan";
    run = [entry, clean, &filter, &lists] { return entry->second(filter, clean, &*lists); };
  }
  std::vector<double> seconds;
  std::vector<double> cpu;
  int count = 0;
  for (int i = 0; i < parsed["repeat"].as<int>(); ++i) {
    // The lists of the run before are freed here, before the clock starts, and the
    // freed memory is given back, so that each run finds the heap as a program that
    // scans once does, not a heap of freed items to sort through.
    lists.emplace();
    malloc_trim(0);
    const double cpu_start = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    count = run();
    seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    cpu.push_back(CpuSeconds() - cpu_start);
  }
  result["count"] = count;
  result["seconds"] = seconds;
  result["cpu_seconds"] = cpu;
  result["peak_kib"] = HighWaterKib();
  std::cout << result.dump() << "\n";
  return 0;
}
