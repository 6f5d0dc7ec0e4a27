// Firefox's per-site storage folders, the localStorage archive and the usage cache.
#include "stores/firefox/firefox_site_storage.h"

#include <iterator>
#include <vector>

#include "platform/platform.h"
#include "stores/firefox/firefox.h"
#include "stores/folders/site_folders.h"
#include "stores/sqlite/sqlite_db.h"

namespace {

constexpr wchar_t kSchemeEnd[] = L"+++";

// What an origin folder holds: "localStorage, IndexedDB, cache; 4 files".
std::wstring Summary(const std::wstring& folder) {
  std::wstring parts;
  const struct {
    const wchar_t* subfolder;
    const wchar_t* shown;
  } kKinds[] = {{L"ls", L"localStorage"}, {L"idb", L"IndexedDB"}, {L"cache", L"cache"}};
  for (const auto& kind : kKinds) {
    if (!platform::DirectoryExists(folder + L"\\" + kind.subfolder)) continue;
    if (!parts.empty()) parts += L", ";
    parts += kind.shown;
  }
  const std::wstring files = site_folders::FilesText(site_folders::CountFiles(folder));
  return parts.empty() ? files : parts + L"; " + files;
}

// A real folder, not a link, that exists.
bool IsPlainFolder(const std::wstring& path) {
  return platform::DirectoryExists(path) && !platform::IsLinkOrReparsePoint(path);
}

// The origin folders of "storage\default".
int ProcessOriginFolders(const std::wstring& storage, const CCookieFilter& filter,
                         CFirefoxSiteStorageArray& items, bool clean) {
  const std::wstring origins = storage + L"\\default";
  if (!IsPlainFolder(origins)) return 0;
  std::vector<platform::FindEntry> entries;
  if (!platform::FindFiles(origins + L"\\*", &entries)) return 0;
  int count = 0;
  for (const platform::FindEntry& entry : entries) {
    if (!entry.is_directory || !platform::IsWindowsName(entry.name)) continue;
    CFirefoxSiteStorage item;
    std::wstring attributes;
    item.m_strSite = FirefoxOriginFolderHost(entry.name, &attributes);
    if (item.m_strSite.empty()) continue;
    item.m_strName = entry.name;
    if (!filter.IsEvil(item)) continue;
    const std::wstring folder = origins + L"\\" + entry.name;
    if (clean) {
      if (site_folders::RemoveSiteFolder(folder)) ++count;
      continue;
    }
    item.m_strContext = DescribeOriginAttributes(platform::Utf8FromWide(attributes));
    item.m_strValue = Summary(folder);
    items.push_back(item);
    ++count;
  }
  return count;
}

// Marks the usage cache of "storage.sqlite" invalid.
void InvalidateUsageCache(const std::wstring& profile) {
  sqlite_access::Database db;
  if (!db.OpenExisting(profile + L"\\storage.sqlite")) return;
  if (db.HasTable("cache")) db.Execute("UPDATE cache SET valid = 0");
}

}  // namespace

std::wstring FirefoxOriginFolderHost(const std::wstring& name, std::wstring* attributes) {
  if (attributes != nullptr) attributes->clear();
  const size_t scheme_end = name.find(kSchemeEnd);
  if (scheme_end == std::wstring::npos || scheme_end == 0) return std::wstring();
  const size_t start = scheme_end + std::size(kSchemeEnd) - 1;
  const size_t caret = name.find(L'^', start);
  std::wstring host = name.substr(start, caret == std::wstring::npos ? std::wstring::npos
                                                                     : caret - start);
  const size_t plus = host.rfind(L'+');
  if (plus != std::wstring::npos && plus + 1 < host.size() &&
      host.find_first_not_of(L"0123456789", plus + 1) == std::wstring::npos) {
    host.erase(plus);
  }
  // "file++++C++..." and the like: no host, or a host that is no host.
  if (host.empty() || host.find(L'+') != std::wstring::npos) return std::wstring();
  if (attributes != nullptr && caret != std::wstring::npos) *attributes = name.substr(caret);
  return host;
}

int ProcessFirefoxSiteStorageProfile(const std::wstring& profile, const CCookieFilter& filter,
                                     CFirefoxSiteStorageArray& items, bool clean, bool* held) {
  if (held != nullptr) *held = false;
  // Firefox holds its cookie database with an exclusive lock while it runs; the
  // write lock taken here keeps it from starting with the profile meanwhile.
  // A scan only reads, so that it writes nothing.
  using sqlite_access::Database;
  Database cookies;
  Database::Refusal refusal = Database::Refusal::kNone;
  bool in_use = false;
  if (cookies.OpenExisting(profile + L"\\cookies.sqlite",
                           clean ? Database::Access::kWrite : Database::Access::kRead, &refusal)) {
    in_use = !cookies.Execute(clean ? "BEGIN IMMEDIATE" : "SELECT 1 FROM sqlite_master LIMIT 1") &&
             cookies.LastFailureWasLock();
  } else {
    in_use = refusal == Database::Refusal::kInUse;
  }
  if (in_use) {
    if (held != nullptr) *held = true;
    return 0;
  }
  const std::wstring storage = profile + L"\\storage";
  if (!IsPlainFolder(storage)) return 0;
  int count = ProcessOriginFolders(storage, filter, items, clean);
  // The localStorage archive's rows, by the DOM storage store's tables.
  count += ProcessFirefoxStorageDatabase(storage + L"\\ls-archive.sqlite", filter, items, clean);
  if (clean && count > 0) InvalidateUsageCache(profile);
  return count;
}

int ProcessFirefoxSiteStorage(const CCookieFilter& filter, CFirefoxSiteStorageArray& items,
                              bool clean, HeldStores* held) {
  int count = 0;
  for (const std::wstring& profile : FirefoxProfileFolders()) {
    bool in_use = false;
    count += ProcessFirefoxSiteStorageProfile(profile, filter, items, clean, &in_use);
    if (in_use) ReportHeld(held, FirefoxProfileName(profile), profile + L"\\cookies.sqlite");
  }
  return count;
}
