// ts-bench: times one store (or the whole sequence, or a floor) on a profile.
//
//   ts-bench --profile DIR --store NAME --mode scan|clean [--tracker-list FILE] [--repeat N]
//   ts-bench --profile DIR --floor read|select [--database FILE] [--repeat N]
//   ts-bench --profile DIR --floor delete --database FILE
//   ts-bench --read-list FILE [--repeat N]
//   ts-bench --list
//
// Prints one JSON object: the seconds of each run (wall clock, and processor time
// in cpu_seconds), the items found (scan) or
// removed (clean), and the process's peak resident memory in KiB. A clean changes
// the profile, so the runner gives every clean run a fresh copy; the delete floor
// changes its database, so it runs once on a fresh copy too. The filter is the
// default patterns, with the tracker lists given read before the clock starts.
// --read-list times reading and indexing one tracker list (count: its domains) and
// also reports the lines it skipped and how much this program's own peak memory
// grew while it was read (added_kib).
#include <sys/resource.h>
#include <time.h>

#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <string>
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

const std::map<std::string, std::function<int(const CCookieFilter&, bool)>>& Stores() {
  // "<browser>-<kind>" for every store of the table of browsers, and "all".
  static const auto stores = [] {
    std::map<std::string, std::function<int(const CCookieFilter&, bool)>> map;
    for (const BrowserInfo& browser : Browsers()) {
      for (const StoreEntry& store : browser.stores) {
        // Chrome's second cookie store is the Chromium family's.
        std::string name = std::string(browser.console_name) + "-" + store.kind;
        if (map.count(name) != 0) name += "-family";
        map[name] = [&browser, &store](const CCookieFilter& filter, bool clean) {
          CScanLists lists;
          return clean ? store.clean(browser, filter, nullptr)
                       : store.scan(browser, filter, lists, nullptr);
        };
      }
    }
    map["all"] = [](const CCookieFilter& filter, bool clean) {
      if (clean) return RunCleanSequence(filter, [](Browser) { return true; });
      CScanLists lists;
      RunScanSequence(filter, &lists, [](Browser) { return true; });
      return static_cast<int>(lists.Total());
    };
    return map;
  }();
  return stores;
}

long PeakKib() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
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

// The processor time this process has used, in seconds (user and system).
double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Runs `run` `repeat` times; puts into *result the seconds of each run (and the
// processor seconds it used: on a busy machine, the time without the waits for a
// processor), the count of the last and the peak memory.
void Time(const std::function<int()>& run, int repeat, nlohmann::ordered_json* result) {
  std::vector<double> seconds, cpu_seconds;
  int count = 0;
  for (int i = 0; i < repeat; ++i) {
    const auto start = std::chrono::steady_clock::now();
    const double cpu_start = CpuSeconds();
    count = run();
    cpu_seconds.push_back(CpuSeconds() - cpu_start);
    seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  (*result)["count"] = count;
  (*result)["seconds"] = seconds;
  (*result)["cpu_seconds"] = cpu_seconds;
  (*result)["peak_kib"] = PeakKib();
}

// Reads the tracker list `path` into *list; false (and a message) when it gives none.
bool ReadList(const std::string& path, CTrackerList* list) {
  const std::wstring wide = platform::WideFromUtf8(path);
  const ListFileError error = LoadTrackerList(wide, wide, list);
  if (error == ListFileError::kNone) return true;
  std::cerr << path << " " << platform::Utf8FromWide(ListFileErrorText(error)) << "\n";
  return false;
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

// The columns the Chromium family's store reads from "<profile>\\Network\\Cookies".
constexpr const char* kFamilySelect =
    "SELECT rowid, host_key, name, path, value, length(encrypted_value), expires_utc, "
    "top_frame_site_key FROM cookies";

int CountRows(const fs::path& file, const std::vector<const char*>& queries) {
  int rows = 0;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    for (const char* sql : queries) {
      sqlite3_exec(
          db, sql,
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

// SQLite's own SELECT of the columns the stores read, over every cookie and
// storage database of the profile.
int SelectFloor(const fs::path& profile) {
  static const std::map<std::string, std::vector<const char*>> queries = {
      {"cookies.sqlite", {"SELECT id, name, value, host, expiry, path FROM moz_cookies"}},
      {"webappsstore.sqlite",
       {"SELECT scope, key, value FROM webappsstore2", "SELECT domain, key, value FROM webappsstore"}},
      {"Cookies",
       {"SELECT creation_utc, name, value, host_key, expires_utc, path FROM cookies"}},
      {"Databases.db", {"SELECT guid, origin, name, displayName, path FROM Databases"}},
  };
  int rows = 0;
  for (const auto& entry : fs::recursive_directory_iterator(profile)) {
    const auto query = queries.find(entry.path().filename().string());
    if (!entry.is_regular_file() || query == queries.end()) continue;
    if (entry.path().parent_path().filename() == "Network") {
      rows += CountRows(entry.path(), {kFamilySelect});
    } else {
      rows += CountRows(entry.path(), query->second);
    }
  }
  return rows;
}

// The rowids of the evil rows of a Chromium family Cookies database, as the filter
// judges their host_key and path.
std::vector<sqlite3_int64> EvilRowids(const fs::path& database, const CCookieFilter& filter) {
  std::vector<sqlite3_int64> rowids;
  sqlite3* db = nullptr;
  sqlite3_stmt* select = nullptr;
  if (sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
      sqlite3_prepare_v2(db, "SELECT rowid, host_key, path FROM cookies", -1, &select,
                         nullptr) == SQLITE_OK) {
    CChromiumCookie item;
    while (sqlite3_step(select) == SQLITE_ROW) {
      const auto text = [select](int column) {
        const unsigned char* cell = sqlite3_column_text(select, column);
        return std::string(cell != nullptr ? reinterpret_cast<const char*>(cell) : "");
      };
      item.m_strSite = platform::WideFromUtf8(text(1) + text(2));
      if (filter.IsEvil(item)) rowids.push_back(sqlite3_column_int64(select, 0));
    }
  }
  sqlite3_finalize(select);
  sqlite3_close(db);
  return rowids;
}

// SQLite's own DELETE of the given rows, in one transaction with secure delete on,
// as the clean pass runs it: open, delete, commit, close. The rows deleted.
int DeleteFloor(const fs::path& database, const std::vector<sqlite3_int64>& rowids) {
  std::string sql = "PRAGMA secure_delete=ON; BEGIN IMMEDIATE; DELETE FROM cookies WHERE rowid IN (";
  for (size_t i = 0; i < rowids.size(); ++i) {
    if (i != 0) sql += ',';
    sql += std::to_string(rowids[i]);
  }
  sql += "); COMMIT;";
  int deleted = 0;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
      sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK) {
    deleted = static_cast<int>(sqlite3_total_changes(db));
  }
  sqlite3_close(db);
  return deleted;
}

}  // namespace

int main(int argc, char** argv) {
  cxxopts::Options options("ts-bench", "Times the stores on a profile.");
  options.add_options()("profile", "profile folder", cxxopts::value<std::string>())(
      "store", "store name or 'all'", cxxopts::value<std::string>())(
      "mode", "scan or clean", cxxopts::value<std::string>()->default_value("scan"))(
      "floor", "read, select or delete", cxxopts::value<std::string>())(
      "database", "the one database of the select or delete floor",
      cxxopts::value<std::string>())(
      "repeat", "runs", cxxopts::value<int>()->default_value("1"))(
      "tracker-list", "a tracker list the filter holds (repeatable)",
      cxxopts::value<std::vector<std::string>>())(
      "read-list", "time reading and indexing this tracker list", cxxopts::value<std::string>())(
      "list", "print the store names, one per line");
  const auto parsed = options.parse(argc, argv);
  if (parsed.count("list") != 0) {
    for (const auto& store : Stores()) std::cout << store.first << "\n";
    return 0;
  }
  nlohmann::ordered_json result;
  const int repeat = parsed["repeat"].as<int>();
  if (parsed.count("read-list") != 0) {
    const std::string path = parsed["read-list"].as<std::string>();
    result["list"] = path;
    const long before = HighWaterKib();
    size_t skipped = 0;
    Time(
        [&path, &skipped] {
          CTrackerList list;
          if (!ReadList(path, &list)) std::exit(1);
          skipped = 0;
          for (size_t r = 0; r < CTrackerList::kSkipReasons; ++r) {
            skipped += list.skipped(static_cast<CTrackerList::Skip>(r));
          }
          return static_cast<int>(list.size());
        },
        repeat, &result);
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
  std::vector<CTrackerList> lists;
  if (parsed.count("tracker-list") != 0) {
    for (const std::string& path : parsed["tracker-list"].as<std::vector<std::string>>()) {
      if (!ReadList(path, &lists.emplace_back())) return 1;
    }
  }
  const CCookieFilter filter(CtrackscrubApp::GetFilter(), std::move(lists), CTrackerList());

  std::function<int()> run;
  if (parsed.count("floor") != 0) {
    const std::string floor = parsed["floor"].as<std::string>();
    result["floor"] = floor;
    const std::string database =
        parsed.count("database") != 0 ? parsed["database"].as<std::string>() : std::string();
    if (floor == "read") {
      run = [&profile] { return ReadFloor(profile); };
    } else if (floor == "select" && database.empty()) {
      run = [&profile] { return SelectFloor(profile); };
    } else if (floor == "select") {
      run = [database] { return CountRows(database, {kFamilySelect}); };
    } else if (floor == "delete" && !database.empty()) {
      run = [database, rowids = EvilRowids(database, filter)] {
        return DeleteFloor(database, rowids);
      };
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
    run = [entry, clean, &filter] { return entry->second(filter, clean); };
  }
  Time(run, repeat, &result);
  std::cout << result.dump() << "\n";
  return 0;
}
