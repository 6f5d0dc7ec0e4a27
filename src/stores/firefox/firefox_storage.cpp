// Firefox DOM storage: "webappsstore.sqlite" of every profile.
#include <algorithm>
#include <deque>
#include <string>
#include <vector>

#include "stores/firefox/firefox.h"
#include "stores/sqlite/database_step.h"
#include "stores/stores.h"

namespace {

using sqlite_access::Row;

// Both tables: the site's column, then key and value.
enum Column { kSite, kKey, kValue, kColumns };

void FillFromRow(const Row& row, CCookie* item) {
  item->m_strName = row.Text(kKey);
  item->m_strValue = row.Text(kValue);
}

// The newer table names the site by a reversed-host scope.
bool SiteOfScope(const Row& row, std::string* site) {
  row.AppendBytes(kSite, site);
  ScopeToSite(site);
  return true;
}

}  // namespace

void ScopeToSite(std::string* scope) {
  const size_t colon = scope->find(':');
  if (colon != std::string::npos) scope->resize(colon);
  std::reverse(scope->begin(), scope->end());
}

namespace {

template <typename Item>
int StorageDatabaseStep(const std::wstring& path, const CCookieFilter& filter,
                        std::deque<Item>& items, bool clean, HeldReason* held) {
  return sqlite_access::DatabaseStep<Item>(
      path, filter, items, clean,
      {{"SELECT domain, key, value FROM webappsstore", kColumns, sqlite_access::SiteColumns({kSite}),
        FillFromRow},
       {"SELECT scope, key, value FROM webappsstore2", kColumns, SiteOfScope, FillFromRow}},
      held);
}

}  // namespace

int ProcessFirefoxStorageDatabase(const std::wstring& path, const CCookieFilter& filter,
                                  CFirefoxUserdataArray& items, bool clean, HeldReason* held) {
  return StorageDatabaseStep(path, filter, items, clean, held);
}

int ProcessFirefoxStorageDatabase(const std::wstring& path, const CCookieFilter& filter,
                                  CFirefoxSiteStorageArray& items, bool clean, HeldReason* held) {
  return StorageDatabaseStep(path, filter, items, clean, held);
}

int ProcessFirefoxUserdata(const CCookieFilter& filter, CFirefoxUserdataArray& items, bool clean,
                           HeldStores* held) {
  int count = 0;
  for (const std::wstring& profile : FirefoxProfileFolders()) {
    const std::wstring database = profile + L"\\webappsstore.sqlite";
    HeldReason reason = HeldReason::kNone;
    count += ProcessFirefoxStorageDatabase(database, filter, items, clean, &reason);
    ReportHeld(held, FirefoxProfileName(profile), database, reason);
  }
  return count;
}
