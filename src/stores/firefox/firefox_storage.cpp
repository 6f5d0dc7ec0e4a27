// Firefox DOM storage: "webappsstore.sqlite" of every profile.
#include <string>

#include "stores/firefox/firefox.h"
#include "stores/sqlite/database_step.h"
#include "stores/stores.h"

namespace {

using sqlite_access::Row;

// The older table, keyed by domain.
void FillFromDomainRow(const Row& row, CFirefoxUserdata* item) {
  item->m_strSite = row.Text(0);
  item->m_strName = row.Text(1);
  item->m_strValue = row.Text(2);
}


// The newer table, keyed by a reversed-host scope.
void FillFromScopeRow(const Row& row, CFirefoxUserdata* item) {
  item->m_strSite = SiteFromScope(row.Text(0));
  item->m_strName = row.Text(1);
  item->m_strValue = row.Text(2);
}


}  // namespace

std::wstring SiteFromScope(const std::wstring& scope) {
  const std::wstring host = scope.substr(0, scope.find(L':'));
  return std::wstring(host.rbegin(), host.rend());
}

int ProcessFirefoxStorageDatabase(const std::wstring& path, const CCookieFilter& filter,
                                  CFirefoxUserdataArray& items, bool clean, HeldReason* held) {
  return sqlite_access::DatabaseStep<CFirefoxUserdata>(
      path, filter, items, clean,
      {{"SELECT domain, key, value FROM webappsstore", 3, FillFromDomainRow},
       {"SELECT scope, key, value FROM webappsstore2", 3, FillFromScopeRow}},
      held);
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
