// The Chromium family's IndexedDB folders.
#include "stores/chromium/indexeddb.h"

#include <cwctype>
#include <iterator>
#include <map>
#include <vector>

#include "platform/platform.h"
#include "stores/folders/site_folders.h"

namespace {

constexpr wchar_t kLevelDbSuffix[] = L".indexeddb.leveldb";
constexpr wchar_t kBlobSuffix[] = L".indexeddb.blob";
constexpr size_t kMaxPortDigits = 5;

// One site's folders, by the names they have on disk (empty: none).
struct SiteFolders {
  std::wstring identifier;  // the name without its suffix
  std::wstring leveldb;
  std::wstring blob;
};

std::wstring Folded(const std::wstring& text) {
  std::wstring folded = text;
  for (wchar_t& c : folded) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
  return folded;
}

bool IsSchemeCharacter(wchar_t c) {
  return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
         c == L'+' || c == L'-' || c == L'.';
}

// The site folders below `folder`, in the order the search gives their first folder.
std::vector<SiteFolders> ListSites(const std::wstring& folder) {
  std::vector<SiteFolders> sites;
  std::vector<platform::FindEntry> entries;
  if (!platform::FindFiles(folder + L"\\*", &entries)) return sites;
  std::map<std::wstring, size_t> index;
  for (const platform::FindEntry& entry : entries) {
    if (!entry.is_directory || !platform::IsWindowsName(entry.name)) continue;
    const bool leveldb = site_folders::EndsWithNoCase(entry.name, kLevelDbSuffix);
    const bool blob = !leveldb && site_folders::EndsWithNoCase(entry.name, kBlobSuffix);
    if (!leveldb && !blob) continue;
    const size_t suffix = leveldb ? std::size(kLevelDbSuffix) - 1 : std::size(kBlobSuffix) - 1;
    const std::wstring identifier = entry.name.substr(0, entry.name.size() - suffix);
    const auto [at, added] = index.emplace(Folded(identifier), sites.size());
    if (added) sites.push_back(SiteFolders{identifier, {}, {}});
    (leveldb ? sites[at->second].leveldb : sites[at->second].blob) = entry.name;
  }
  return sites;
}

}  // namespace

std::wstring ChromiumIndexedDBHost(const std::wstring& identifier) {
  const size_t first = identifier.find(L'_');
  const size_t last = identifier.rfind(L'_');
  if (first == std::wstring::npos || first == 0 || last <= first + 1) return std::wstring();
  for (size_t i = 0; i < first; ++i) {
    if (!IsSchemeCharacter(identifier[i])) return std::wstring();
  }
  const std::wstring port = identifier.substr(last + 1);
  if (port.empty() || port.size() > kMaxPortDigits ||
      port.find_first_not_of(L"0123456789") != std::wstring::npos) {
    return std::wstring();
  }
  return identifier.substr(first + 1, last - first - 1);
}

int ProcessChromiumIndexedDBFolder(const std::wstring& folder, int browser,
                                   const std::wstring& profile, const CCookieFilter& filter,
                                   CChromiumIndexedDBArray& items, bool clean,
                                   std::vector<std::wstring>* held) {
  if (platform::IsLinkOrReparsePoint(folder)) return 0;
  int count = 0;
  for (const SiteFolders& site : ListSites(folder)) {
    CChromiumIndexedDB item;
    item.m_strSite = ChromiumIndexedDBHost(site.identifier);
    if (item.m_strSite.empty()) continue;
    item.m_strName = site.leveldb.empty() ? site.blob : site.leveldb;
    item.m_nBrowser = browser;
    item.m_strProfile = profile;
    if (!filter.IsEvil(item)) continue;
    const std::wstring leveldb = site.leveldb.empty() ? std::wstring() : folder + L"\\" + site.leveldb;
    const std::wstring blob = site.blob.empty() ? std::wstring() : folder + L"\\" + site.blob;
    // A running browser keeps the LOCK file of each database it has open.
    if (!leveldb.empty() && platform::FileExists(leveldb + L"\\LOCK") &&
        platform::FileInUse(leveldb + L"\\LOCK")) {
      if (held != nullptr) held->push_back(leveldb);
      continue;
    }
    if (!clean) {
      int files = 0;
      for (const std::wstring* path : {&leveldb, &blob}) {
        if (!path->empty()) files += site_folders::CountFiles(*path);
      }
      item.m_strValue = site_folders::FilesText(files);
      items.push_back(item);
      ++count;
      continue;
    }
    // The blob folder first: should the database folder stay, it stays whole.
    if (!blob.empty() && !site_folders::RemoveSiteFolder(blob)) continue;
    if (!leveldb.empty() && !site_folders::RemoveSiteFolder(leveldb)) continue;
    ++count;
  }
  return count;
}

int ProcessChromiumIndexedDB(const ChromiumBrowser& browser, const CCookieFilter& filter,
                             CChromiumIndexedDBArray& items, bool clean, HeldStores* held) {
  int count = 0;
  ForEachChromiumProfile(browser, ChromiumProfileData::kIndexedDB,
                         [&](const ChromiumUserData&, const ChromiumProfile& profile) {
                           std::vector<std::wstring> held_sites;
                           count += ProcessChromiumIndexedDBFolder(
                               profile.folder + L"\\IndexedDB", browser.id, profile.name, filter,
                               items, clean, &held_sites);
                           for (const std::wstring& site : held_sites) {
                             ReportHeld(held, profile.name, site);
                           }
                         });
  return count;
}
