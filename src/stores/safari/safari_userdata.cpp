// Safari databases and local storage, below the local application data folder:
// the per-origin databases listed in Databases.db, each in a folder named after
// its origin ("http_example.com_0"), and the "*.localstorage" files, named after
// their origin too. Both kinds are SQLite files.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "stores/sqlite/database_step.h"
#include "stores/sqlite/sqlite_db.h"
#include "stores/stores.h"
#include "text/textfile.h"

namespace {

using sqlite_access::CellText;
using sqlite_access::Database;
using sqlite_access::Statement;

// A value shows at most this many key=value pairs.
constexpr int kMaxPairs = 31;

// An origin that names exactly one folder inside the database folder, a plain
// folder and not a link.
bool IsOriginFolder(const std::wstring& folder, const std::wstring& origin) {
  return platform::IsWindowsName(origin) && !platform::IsLinkOrReparsePoint(folder + origin);
}

// The text between the first and the second "_" of an origin ("http_example.com_0"),
// empty when there is none.
template <typename Char>
std::basic_string_view<Char> SiteOfOrigin(std::basic_string_view<Char> origin) {
  const size_t first = origin.find(Char('_'));
  if (first == origin.npos) return {};
  const size_t second = origin.find(Char('_'), first + 1);
  if (second == origin.npos) return {};
  return origin.substr(first + 1, second - first - 1);
}

// "key=value, key=value, ..." from the first rows of "SELECT <key>, <value> FROM
// <table>"; false (and *text unchanged) when `table` is not a table (a view could
// compute rows without end) or the rows cannot be read.
bool Summary(Database& db, const char* sql, std::wstring* text) {
  Statement pairs;
  if (!db.BeginRead() || !db.HasTable(sqlite_access::TableOfSelect(sql)) ||
      !pairs.Prepare(db, sql) ||
      pairs.ColumnCount() != 2) {
    return false;
  }
  std::wstring summary;
  for (int row = 0; row < kMaxPairs; ++row) {
    const Statement::StepResult step = pairs.Step();
    if (step == Statement::StepResult::kDone) break;
    if (step != Statement::StepResult::kRow) return false;
    if (!summary.empty()) summary += L", ";
    summary += CellText(pairs.ColumnText(0)) + L"=" + CellText(pairs.ColumnText(1));
  }
  *text = std::move(summary);
  return true;
}

// Stage 1: the rows of the database index. A scan reads it read-only. A clean takes
// the write lock, reads the rows, deletes each evil one by its rowid in one
// transaction (a DELETE that changes anything but its one row takes the whole
// transaction back) and, once it is committed, the origin folders of those rows. A
// row counts when it was deleted and its origin's folder is gone with it.
int ProcessSafariDatabases(const std::wstring& folder, const CCookieFilter& filter,
                           CSafariUserdataArray& items, bool clean) {
  Database index;
  if (!index.OpenExisting(folder + L"Databases.db",
                          clean ? Database::Access::kWrite : Database::Access::kRead) ||
      (!clean && !index.BeginRead()) || !index.HasTable("Databases")) {
    return 0;
  }
  const std::string rowid = sqlite_access::RowidName(index, "Databases");
  if (rowid.empty()) return 0;
  if (clean) {
    // Deleted rows are overwritten, not merely unlinked.
    index.Execute("PRAGMA secure_delete=ON");
    if (!index.Execute("BEGIN IMMEDIATE")) return 0;
  }
  int count = 0;
  struct Row {
    int64_t rowid;
    std::wstring origin;
  };
  std::vector<Row> evil_rows;
  {
    Statement rows;
    if (!rows.Prepare(index, "SELECT " + rowid + ", origin, name, displayName, path FROM Databases") ||
        rows.ColumnCount() != 5) {
      return 0;
    }
    sqlite_access::SiteVerdicts<std::string> verdicts(filter);
    std::string site;
    while (rows.Step() == Statement::StepResult::kRow) {
      // The filter decides on the origin's site before anything else is read.
      const char* cell = rows.ColumnText(1);
      site = SiteOfOrigin(std::string_view(cell != nullptr ? cell : ""));
      if (site.empty()) continue;
      const std::optional<CCookieFilter::Rule> rule = verdicts.Find(site);
      if (!rule) continue;
      const std::wstring origin = CellText(cell);
      if (clean) {
        evil_rows.push_back(Row{rows.ColumnInt64(0), origin});
        continue;
      }
      CSafariUserdata item;
      item.m_strSite = WideFromBytes(site);
      item.m_pRule = filter.Describe(*rule);
      if (IsOriginFolder(folder, origin) &&
          platform::IsWindowsName(CellText(rows.ColumnText(4))) &&
          item.DescribeDatabase(CellText(rows.ColumnText(2)), CellText(rows.ColumnText(3)),
                                folder + origin + L"\\" + CellText(rows.ColumnText(4)))) {
        items.push_back(std::move(item));
        ++count;
      }
    }
  }
  if (!clean || evil_rows.empty()) return count;

  std::map<std::wstring, int> deleted;  // origin -> rows deleted
  {
    Statement remove;
    if (!remove.Prepare(index, "DELETE FROM Databases WHERE " + rowid + " = ?")) return 0;
    for (const Row& row : evil_rows) {
      remove.BindInt64(1, row.rowid);
      const Statement::StepResult step = remove.Step();
      remove.Reset();
      // The connection's close rolls the transaction back.
      if (step != Statement::StepResult::kDone || index.Changes() != 1) return 0;
      ++deleted[row.origin];
    }
  }
  if (index.Exhausted() || !index.Execute("COMMIT")) return 0;
  if (index.IsWal()) index.Execute("PRAGMA wal_checkpoint(TRUNCATE)");
  // Only now are the rows gone for good, so their folders may go too.
  for (const auto& [origin, rows] : deleted) {
    if (IsOriginFolder(folder, origin) && platform::DirectoryExists(folder + origin) &&
        platform::ShellDelete(folder + origin) != 0) {
      continue;  // the databases stay on disk
    }
    count += rows;
  }
  return count;
}

// Stage 2: the local-storage files.
int ProcessSafariLocalStorage(const std::wstring& folder, const CCookieFilter& filter,
                              CSafariUserdataArray& items, bool clean) {
  std::vector<platform::FindEntry> entries;
  if (!platform::FindFiles(folder + L"*.localstorage", &entries)) return 0;
  int count = 0;
  sqlite_access::SiteVerdicts<std::wstring> verdicts(filter);
  for (const platform::FindEntry& entry : entries) {
    CSafariUserdata item;
    if (entry.is_directory || !item.SetSiteFromOrigin(entry.name)) continue;
    const std::optional<CCookieFilter::Rule> rule = verdicts.Find(item.m_strSite);
    if (!rule) continue;
    item.m_pRule = filter.Describe(*rule);
    if (clean) {
      if (platform::ShellDelete(folder + entry.name) == 0) ++count;
    } else if (item.DescribeLocalStorage(folder + entry.name)) {
      items.push_back(item);
      ++count;
    }
  }
  return count;
}

}  // namespace

bool CSafariUserdata::SetSiteFromOrigin(const std::wstring& origin) {
  const std::wstring_view site = SiteOfOrigin(std::wstring_view(origin));
  if (site.data() == nullptr) return false;
  m_strSite = site;
  return !m_strSite.empty();
}

bool CSafariUserdata::DescribeDatabase(const std::wstring& name, const std::wstring& display_name,
                                       const std::wstring& path) {
  Database db;
  if (!db.OpenExisting(path, Database::Access::kRead)) return false;
  m_strName = name + L": " + display_name;
  m_strValue = path;
  Summary(db, "SELECT k, v FROM persist_data", &m_strValue);
  return true;
}

bool CSafariUserdata::DescribeLocalStorage(const std::wstring& path) {
  Database db;
  if (!db.OpenExisting(path, Database::Access::kRead)) return false;
  m_strName = path;
  m_strValue = L"?";
  Summary(db, "SELECT key, value FROM ItemTable", &m_strValue);
  return true;
}

int ProcessSafariUserdata(const CCookieFilter& filter, CSafariUserdataArray& items, bool clean) {
  std::wstring base;
  if (!platform::GetKnownFolder(platform::KnownFolder::LocalAppData, &base)) return 0;
  const std::wstring safari = base + L"\\Apple Computer\\Safari\\";
  return ProcessSafariDatabases(safari + L"Databases\\", filter, items, clean) +
         ProcessSafariLocalStorage(safari + L"LocalStorage\\", filter, items, clean);
}
