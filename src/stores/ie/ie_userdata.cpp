// Internet Explorer UserData and DOM storage: the data files listed by URL in the
// cache index ("index.dat") of seven storage folders. The index files are only
// read; a clean deletes the data files of the evil entries, except a file that an
// entry it keeps names too, and only while each is still the file it read.
#include <cstring>
#include <cwctype>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "platform/platform.h"
#include "stores/ie/cache_index.h"
#include "stores/ie/ie_userdata.h"
#include "stores/stores.h"

namespace {

constexpr size_t kPeekBytes = 510;

bool StartsWithNoCase(const std::string& text, size_t at, const char* prefix) {
  const size_t length = std::strlen(prefix);
  if (text.size() < at || text.size() - at < length) return false;
  for (size_t i = 0; i < length; ++i) {
    char c = text[at + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}


// The data file an entry names, as a key that compares without regard to case.
std::wstring DataFileKey(const char* subfolder, const char* file_name) {
  std::wstring key = platform::WideFromAnsi(subfolder) + L"\\" + platform::WideFromAnsi(file_name);
  for (wchar_t& c : key) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
  return key;
}

// One storage folder (its path ending in "\").
int ProcessIEUserdataFolder(const std::wstring& folder, const CCookieFilter& filter,
                            CIEUserdataArray& items, bool clean) {
  CCacheIndex index;
  if (!index.Open(folder + L"index.dat")) return 0;
  const char* url = nullptr;
  const char* subfolder = nullptr;
  const char* file_name = nullptr;
  // A crafted index must not name anything outside its storage folder. An index
  // names at most 32 subfolders: each is looked at once.
  std::map<std::string, bool, std::less<>> usable_subfolders;
  const auto usable = [&folder, &usable_subfolders](const char* sub, const char* name) {
    auto known = usable_subfolders.find(std::string_view(sub));
    if (known == usable_subfolders.end()) {
      const std::wstring wide = platform::WideFromAnsi(sub);
      known = usable_subfolders
                  .emplace(sub, platform::IsWindowsName(wide) &&
                                    !platform::IsLinkOrReparsePoint(folder + wide))
                  .first;
    }
    return known->second && platform::IsWindowsName(platform::WideFromAnsi(name));
  };
  // The filter is asked first, once a site (an index lists the entries of a site
  // apart from each other): the files of harmless entries are never looked at.
  std::unordered_map<std::wstring, std::optional<CCookieFilter::Rule>> rules;
  const auto evil = [&filter, &rules](CIEUserdata& item, const char* entry_url) {
    if (!item.SetSiteFromUrl(entry_url)) return false;
    auto known = rules.find(item.m_strSite);
    if (known == rules.end()) {
      known = rules.emplace(item.m_strSite, filter.Find(item.m_strSite)).first;
    }
    if (!known->second) return false;
    item.m_pRule = filter.Describe(*known->second);
    return true;
  };
  // The data files of the entries a clean keeps: one file may serve several
  // entries, and a file a kept entry names is never deleted.
  std::set<std::wstring> kept;
  if (clean) {
    while (index.Next(&url, &subfolder, &file_name)) {
      CIEUserdata item;
      if (!evil(item, url) && usable(subfolder, file_name)) {
        kept.insert(DataFileKey(subfolder, file_name));
      }
    }
    if (!index.Rewind()) return 0;
  }
  int count = 0;
  while (index.Next(&url, &subfolder, &file_name)) {
    CIEUserdata item;
    if (!evil(item, url) || !usable(subfolder, file_name)) continue;
    if (!clean) {
      if (!ReadUserdataFile(item, folder, subfolder, file_name)) continue;
      items.push_back(item);
      ++count;
      continue;
    }
    if (kept.count(DataFileKey(subfolder, file_name)) != 0) continue;
    platform::File file;
    platform::FileIdentity read;
    if (!ReadUserdataFile(item, folder, subfolder, file_name, &file, &read)) continue;
    const std::wstring data_file = folder + platform::WideFromAnsi(subfolder) + L"\\" +
                                   platform::WideFromAnsi(file_name);
    if (file.RemoveIfUnchanged(data_file, read)) ++count;
  }
  return count;
}

}  // namespace

bool CIEUserdata::SetSiteFromUrl(const std::string& url) {
  if (StartsWithNoCase(url, 0, "userdata:")) {
    const size_t at = url.find('@', 9);
    if (at == std::string::npos) return false;
    for (const char* scheme : {"http@", "https@"}) {
      if (StartsWithNoCase(url, at + 1, scheme)) {
        m_strSite = platform::WideFromAnsi(url.substr(at + 1 + std::strlen(scheme)));
        return true;
      }
    }
    return false;
  }
  if (StartsWithNoCase(url, 0, "domstore:") &&
      (StartsWithNoCase(url, 9, "http://") || StartsWithNoCase(url, 9, "https://"))) {
    m_strSite = platform::WideFromAnsi(url.substr(url.find("://") + 3));
    return true;
  }
  return false;
}

bool ReadUserdataFile(CIEUserdata& item, const std::wstring& folder, const std::string& subfolder,
                      const std::string& file_name, platform::File* for_delete,
                      platform::FileIdentity* identity) {
  const std::wstring path =
      folder + platform::WideFromAnsi(subfolder) + L"\\" + platform::WideFromAnsi(file_name);
  platform::File file = platform::File::OpenForRead(
      path, for_delete != nullptr ? platform::File::Share::kDenyWriteAndDelete
                                  : platform::File::Share::kDenyWrite);
  if (!file.is_open()) return false;
  if (identity != nullptr && !file.GetIdentity(identity)) return false;
  unsigned char buffer[kPeekBytes + 2] = {};
  size_t got = 0;
  if (!file.Read(buffer, kPeekBytes, &got) || got == 0) return false;
  const size_t even = got & ~size_t{1};  // an odd last byte is dropped
  buffer[even] = 0;
  buffer[even + 1] = 0;
  std::wstring value;
  if (even >= 2 && buffer[0] == 0xFF && buffer[1] == 0xFE) {
    for (size_t i = 2; i + 1 < even + 2; i += 2) {
      const auto unit = static_cast<wchar_t>(buffer[i] | buffer[i + 1] << 8);
      if (unit == 0) break;
      value += unit;
    }
  } else {
    value = platform::WideFromAnsi(std::string(reinterpret_cast<const char*>(buffer)));
  }
  for (wchar_t& c : value) {
    if (c == L'\r' || c == L'\n') c = L' ';
  }
  item.m_strValue = value;
  item.m_strName = platform::WideFromAnsi(file_name);
  if (for_delete != nullptr) *for_delete = std::move(file);
  return true;
}

int ProcessIEUserdata(const CCookieFilter& filter, CIEUserdataArray& items, bool clean) {
  const std::wstring kUserData = L"\\Microsoft\\Internet Explorer\\UserData\\";
  const std::wstring kDomStore = L"\\Microsoft\\Internet Explorer\\DOMStore\\";
  int count = 0;
  std::wstring folder;
  if (platform::GetKnownFolder(platform::KnownFolder::Profile, &folder)) {
    count += ProcessIEUserdataFolder(folder + L"\\UserData\\", filter, items, clean);
  }
  if (platform::GetKnownFolder(platform::KnownFolder::AppData, &folder)) {
    count += ProcessIEUserdataFolder(folder + kUserData, filter, items, clean);
    count += ProcessIEUserdataFolder(folder + kUserData + L"Low\\", filter, items, clean);
  }
  if (platform::GetKnownFolder(platform::KnownFolder::LocalAppData, &folder)) {
    count += ProcessIEUserdataFolder(folder + kDomStore, filter, items, clean);
    count += ProcessIEUserdataFolder(folder + kDomStore + L"Low\\", filter, items, clean);
    // The LocalLow folder beside Local (the doubled "\" after it is one separator).
    const std::wstring parent = folder.substr(0, folder.find_last_of(L'\\') + 1);
    count += ProcessIEUserdataFolder(parent + L"LocalLow\\" + kDomStore, filter, items, clean);
    count += ProcessIEUserdataFolder(parent + L"LocalLow\\" + kDomStore + L"Low\\", filter, items,
                                     clean);
  }
  return count;
}
