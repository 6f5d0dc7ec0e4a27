// Firefox DOM storage: "webappsstore.sqlite" of every profile.
#include <string>

#include "sqlite3.h"
#include "stores/firefox/firefox.h"
#include "stores/sqlite/database_step.h"
#include "stores/stores.h"

namespace {

using sqlite_access::Row;
using sqlite_access::SqlText;

// The older table, keyed by domain.
void FillFromDomainRow(const Row& row, CFirefoxUserdata* item) {
  item->m_strSite = row.Text(0);
  item->m_strName = row.Text(1);
  item->m_strValue = row.Text(2);
}

SqlText DeleteDomainRow(const Row& row) {
  return SqlText(sqlite3_mprintf("DELETE FROM webappsstore where domain='%q' and key='%q'",
                                 row.Raw(0), row.Raw(1)));
}

// The newer table, keyed by a reversed-host scope.
void FillFromScopeRow(const Row& row, CFirefoxUserdata* item) {
  item->m_strSite = SiteFromScope(row.Text(0));
  item->m_strName = row.Text(1);
  item->m_strValue = row.Text(2);
}

SqlText DeleteScopeRow(const Row& row) {
  return SqlText(sqlite3_mprintf("DELETE FROM webappsstore2 where scope='%q' and key='%q'",
                                 row.Raw(0), row.Raw(1)));
}

}  // namespace

std::wstring SiteFromScope(const std::wstring& scope) {
  const std::wstring host = scope.substr(0, scope.find(L':'));
  return std::wstring(host.rbegin(), host.rend());
}

int ProcessFirefoxStorageDatabase(const std::wstring& path, const CCookieFilter& filter,
                                  CFirefoxUserdataArray& items, bool clean) {
  return sqlite_access::DatabaseStep<CFirefoxUserdata>(
      path, filter, items, clean,
      {{"SELECT domain, key, value FROM webappsstore", 3, FillFromDomainRow, DeleteDomainRow},
       {"SELECT scope, key, value FROM webappsstore2", 3, FillFromScopeRow, DeleteScopeRow}});
}

int ProcessFirefoxUserdata(const CCookieFilter& filter, CFirefoxUserdataArray& items, bool clean) {
  int count = 0;
  for (const std::wstring& profile : FirefoxProfileFolders()) {
    count += ProcessFirefoxStorageDatabase(profile + L"\\webappsstore.sqlite", filter, items, clean);
  }
  return count;
}
