// Google Chrome: the Cookies database of every profile folder.
#include "stores/chrome/chrome.h"

#include <string>
#include <vector>

#include "platform/platform.h"
#include "stores/sqlite/database_step.h"
#include "stores/stores.h"

namespace {

using sqlite_access::Row;

// Columns of the SELECT below. creation_utc is not shown, but a table without it is
// not Chrome's.
enum Column { kHostKey, kPath, kName, kValue, kExpires, kCreation, kColumnCount };

void FillFromCookieRow(const Row& row, CChromeCookie* item) {
  item->m_strName = row.Text(kName);
  item->m_strValue = row.Text(kValue);
  item->m_strExpires = row.Text(kExpires);
}

}  // namespace

int ProcessChromeCookieDatabase(const std::wstring& path, const CCookieFilter& filter,
                                CChromeCookieArray& items, bool clean, HeldReason* held) {
  return sqlite_access::DatabaseStep<CChromeCookie>(
      path, filter, items, clean,
      {{"SELECT host_key, path, name, value, expires_utc, creation_utc FROM cookies", kColumnCount,
        sqlite_access::SiteColumns({kHostKey, kPath}), FillFromCookieRow}},
      held);
}

int ProcessChromeCookies(const CCookieFilter& filter, CChromeCookieArray& items, bool clean,
                         HeldStores* held) {
  std::wstring local_app_data;
  if (!platform::GetKnownFolder(platform::KnownFolder::LocalAppData, &local_app_data)) return 0;
  const std::wstring base = local_app_data + L"\\Google\\Chrome\\User Data\\";
  std::vector<platform::FindEntry> entries;
  if (!platform::FindFiles(base + L"*", &entries)) return 0;
  int count = 0;
  for (const platform::FindEntry& entry : entries) {
    if (entry.name == L"." || entry.name == L".." || !entry.is_directory) continue;
    // Every folder is tried; one without a Cookies file contributes 0.
    const std::wstring database = base + entry.name + L"\\Cookies";
    HeldReason reason = HeldReason::kNone;
    count += ProcessChromeCookieDatabase(database, filter, items, clean, &reason);
    ReportHeld(held, entry.name, database, reason);
  }
  return count;
}

// Chrome's local storage is never read or changed.
int ProcessChromeUserdata(const CCookieFilter&, CChromeUserdataArray&, bool) { return 0; }
