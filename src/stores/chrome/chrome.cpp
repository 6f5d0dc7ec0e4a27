// Google Chrome: the Cookies database of every profile folder.
#include "stores/chrome/chrome.h"

#include <string>
#include <vector>

#include "platform/platform.h"
#include "sqlite3.h"
#include "stores/sqlite/database_step.h"
#include "stores/stores.h"

namespace {

using sqlite_access::Row;
using sqlite_access::SqlText;

// Columns of "SELECT creation_utc, name, value, host_key, expires_utc, path FROM cookies".
enum Column { kCreation, kName, kValue, kHostKey, kExpires, kPath, kColumnCount };

void FillFromCookieRow(const Row& row, CChromeCookie* item) {
  item->m_strName = row.Text(kName);
  item->m_strValue = row.Text(kValue);
  item->m_strSite = row.Text(kHostKey) + row.Text(kPath);
  item->m_strExpires = row.Text(kExpires);
}

// An optional "-" and at least one decimal digit, nothing else: how SQLite gives an
// INTEGER cell as text.
bool IsDecimalInteger(const char* text) {
  if (text == nullptr) return false;
  if (*text == '-') ++text;
  if (*text == '\0') return false;
  for (; *text != '\0'; ++text) {
    if (*text < '0' || *text > '9') return false;
  }
  return true;
}

SqlText DeleteCookieRow(const Row& row) {
  // creation_utc stands in the statement unquoted; a cell that is not a plain number
  // could change the statement's meaning, so such a row is not deleted.
  if (!IsDecimalInteger(row.Raw(kCreation))) return SqlText();
  return SqlText(sqlite3_mprintf(
      "DELETE FROM cookies WHERE creation_utc=%q AND host_key='%q' AND name='%q' AND path='%q'",
      row.Raw(kCreation), row.Raw(kHostKey), row.Raw(kName), row.Raw(kPath)));
}

}  // namespace

int ProcessChromeCookieDatabase(const std::wstring& path, const CCookieFilter& filter,
                                CChromeCookieArray& items, bool clean) {
  return sqlite_access::DatabaseStep<CChromeCookie>(
      path, filter, items, clean,
      {{"SELECT creation_utc, name, value, host_key, expires_utc, path FROM cookies", kColumnCount,
        FillFromCookieRow, DeleteCookieRow}});
}

int ProcessChromeCookies(const CCookieFilter& filter, CChromeCookieArray& items, bool clean) {
  std::wstring local_app_data;
  if (!platform::GetKnownFolder(platform::KnownFolder::LocalAppData, &local_app_data)) return 0;
  const std::wstring base = local_app_data + L"\\Google\\Chrome\\User Data\\";
  std::vector<platform::FindEntry> entries;
  if (!platform::FindFiles(base + L"*", &entries)) return 0;
  int count = 0;
  for (const platform::FindEntry& entry : entries) {
    if (entry.name == L"." || entry.name == L".." || !entry.is_directory) continue;
    // Every folder is tried; one without a Cookies file contributes 0.
    count += ProcessChromeCookieDatabase(base + entry.name + L"\\Cookies", filter, items, clean);
  }
  return count;
}

// Chrome's local storage is never read or changed.
int ProcessChromeUserdata(const CCookieFilter&, CChromeUserdataArray&, bool) { return 0; }
