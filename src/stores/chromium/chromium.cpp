// The Chromium family's cookie databases.
#include "stores/chromium/chromium.h"

#include <nlohmann/json.hpp>

#include <cwctype>
#include <cstddef>
#include <map>
#include <new>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "stores/sqlite/database_step.h"

namespace {

using sqlite_access::Row;

// The most a "Local State" file may hold to be read for profile names.
constexpr size_t kMaxLocalStateBytes = size_t{16} << 20;

std::wstring Folded(const std::wstring& text) {
  std::wstring folded = text;
  for (wchar_t& c : folded) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
  return folded;
}

// Folders of a user data folder that hold databases but are not the user's
// profiles.
bool IsReservedProfile(const std::wstring& name) {
  const std::wstring folded = Folded(name);
  return folded == L"system profile" || folded == L"guest profile";
}

// The profile names of profile.info_cache in "Local State", by folder name folded;
// none when the file is missing, too large or not JSON of that shape.
std::map<std::wstring, std::wstring> LocalStateNames(const std::wstring& user_data) {
  std::map<std::wstring, std::wstring> names;
  std::string text;
  if (!platform::ReadWholeFile(user_data + L"\\Local State", &text, kMaxLocalStateBytes)) {
    return names;
  }
  const nlohmann::json state = nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (!state.is_object()) return names;
  const auto profile = state.find("profile");
  if (profile == state.end() || !profile->is_object()) return names;
  const auto cache = profile->find("info_cache");
  if (cache == profile->end() || !cache->is_object()) return names;
  for (const auto& [key, entry] : cache->items()) {
    const std::wstring folder = platform::WideFromUtf8(key);
    std::wstring name = folder;
    if (entry.is_object()) {
      const auto shown = entry.find("name");
      if (shown != entry.end() && shown->is_string() && !shown->get<std::string>().empty()) {
        name = platform::WideFromUtf8(shown->get<std::string>());
      }
    }
    names[Folded(folder)] = name;
  }
  return names;
}

// The cookie databases of a profile folder: "Network\Cookies", then "Cookies"
// unless another store covers that one. A "Network" that is a link is not entered.
std::vector<std::wstring> CookieDatabases(const std::wstring& profile, bool legacy_elsewhere) {
  std::vector<std::wstring> databases;
  const std::wstring network = profile + L"\\Network";
  if (platform::DirectoryExists(network) && !platform::IsLinkOrReparsePoint(network)) {
    databases.push_back(network + L"\\Cookies");
  }
  if (!legacy_elsewhere) databases.push_back(profile + L"\\Cookies");
  return databases;
}

bool HoldsCookieDatabase(const std::wstring& folder) {
  return platform::FileExists(folder + L"\\Network\\Cookies") ||
         platform::FileExists(folder + L"\\Cookies");
}

bool Holds(const std::wstring& folder, ChromiumProfileData data) {
  switch (data) {
    case ChromiumProfileData::kCookies:
      return HoldsCookieDatabase(folder);
    case ChromiumProfileData::kLocalStorage:
      return platform::DirectoryExists(folder + L"\\Local Storage\\leveldb");
    case ChromiumProfileData::kIndexedDB:
      return platform::DirectoryExists(folder + L"\\IndexedDB");
  }
  return false;
}

// Subfolders of `folder` holding `data`, as profiles named by `names`.
// When `folder` is a profile itself, its "Network" folder is that profile's, not
// another one.
void AddProfilesIn(const std::wstring& folder, const std::map<std::wstring, std::wstring>& names,
                   bool folder_is_profile, ChromiumProfileData data,
                   std::vector<ChromiumProfile>* profiles) {
  std::vector<platform::FindEntry> entries;
  if (!platform::FindFiles(folder + L"\\*", &entries)) return;
  for (const platform::FindEntry& entry : entries) {
    if (!entry.is_directory || !platform::IsWindowsName(entry.name) ||
        IsReservedProfile(entry.name) ||
        (folder_is_profile && Folded(entry.name) == L"network")) {
      continue;
    }
    const std::wstring path = folder + L"\\" + entry.name;
    if (!Holds(path, data)) continue;
    const auto named = names.find(Folded(entry.name));
    profiles->push_back({path, named != names.end() ? named->second : entry.name});
  }
}

// The columns a Cookies table may have, read where it has them.
struct CookieColumns {
  bool value = false;
  bool encrypted_value = false;
  bool expires_utc = false;
  bool top_frame_site_key = false;
};

enum Column { kHostKey, kName, kPath, kValue, kEncryptedLength, kExpires, kPartition, kColumns };

std::vector<sqlite_access::StoreTable<CChromiumCookie>> CookieTables(
    sqlite_access::Database& db, int browser, const std::wstring& profile) {
  std::set<std::string> present;
  for (std::string column : db.Columns("cookies")) {
    for (char& c : column) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    present.insert(column);
  }
  for (const char* required : {"host_key", "name", "path"}) {
    if (present.count(required) == 0) return {};
  }
  CookieColumns has;
  has.value = present.count("value") != 0;
  has.encrypted_value = present.count("encrypted_value") != 0;
  has.expires_utc = present.count("expires_utc") != 0;
  has.top_frame_site_key = present.count("top_frame_site_key") != 0;
  std::string select = "SELECT host_key, name, path";
  select += has.value ? ", value" : ", ''";
  select += has.encrypted_value ? ", length(encrypted_value)" : ", 0";
  select += has.expires_utc ? ", expires_utc" : ", 0";
  select += has.top_frame_site_key ? ", top_frame_site_key" : ", ''";
  select += " FROM cookies";
  return {{select, kColumns, sqlite_access::SiteColumns({kHostKey, kPath}),
           [browser, profile](const Row& row, CChromiumCookie* item) {
             item->m_strName = row.Text(kName);
             const char* value = row.Raw(kValue);
             const char* encrypted = row.Raw(kEncryptedLength);
             const bool is_encrypted = encrypted != nullptr && std::string(encrypted) != "0";
             if (value != nullptr && *value != '\0') {
               item->m_strValue = row.Text(kValue);
             } else if (is_encrypted) {
               item->m_strValue = kEncryptedValue;
             }
             item->m_strExpires = row.Text(kExpires);
             const char* partition = row.Raw(kPartition);
             if (partition != nullptr) item->m_strPartition = row.Text(kPartition);
             item->m_nBrowser = browser;
             item->m_strProfile = profile;
           }}};
}

}  // namespace

std::vector<ChromiumProfile> ChromiumProfiles(const std::wstring& user_data, bool opera_layout,
                                              ChromiumProfileData data) {
  std::vector<ChromiumProfile> profiles;
  if (!platform::DirectoryExists(user_data) || platform::IsLinkOrReparsePoint(user_data)) {
    return profiles;
  }
  const std::map<std::wstring, std::wstring> names = LocalStateNames(user_data);
  const bool folder_is_profile = opera_layout && Holds(user_data, data);
  if (folder_is_profile) {
    const size_t slash = user_data.find_last_of(L"\\/");
    profiles.push_back({user_data, user_data.substr(slash == std::wstring::npos ? 0 : slash + 1)});
  }
  AddProfilesIn(user_data, names, folder_is_profile, data, &profiles);
  if (opera_layout) {
    const std::wstring side = user_data + L"\\_side_profiles";
    if (platform::DirectoryExists(side) && !platform::IsLinkOrReparsePoint(side)) {
      AddProfilesIn(side, names, false, data, &profiles);
    }
  }
  return profiles;
}

int ProcessChromiumCookieDatabase(const std::wstring& path, int browser,
                                  const std::wstring& profile, const CCookieFilter& filter,
                                  CChromiumCookieArray& items, bool clean, HeldReason* held) {
  return sqlite_access::PlannedDatabaseStep<CChromiumCookie>(
      path, filter, items, clean,
      [browser, &profile](sqlite_access::Database& db) {
        return CookieTables(db, browser, profile);
      },
      held);
}

void ForEachChromiumProfile(
    const ChromiumBrowser& browser, ChromiumProfileData data,
    const std::function<void(const ChromiumUserData& folder, const ChromiumProfile& profile)>&
        visit) {
  for (const ChromiumUserData& folder : browser.user_data) {
    std::wstring root;
    if (!platform::GetKnownFolder(folder.root, &root)) continue;
    for (const ChromiumProfile& profile :
         ChromiumProfiles(root + L"\\" + folder.path, folder.opera_layout, data)) {
      visit(folder, profile);
    }
  }
}

int ProcessChromiumCookies(const ChromiumBrowser& browser, const CCookieFilter& filter,
                           CChromiumCookieArray& items, bool clean, HeldStores* held) {
  int count = 0;
  ForEachChromiumProfile(
      browser, ChromiumProfileData::kCookies,
      [&](const ChromiumUserData& folder, const ChromiumProfile& profile) {
        for (const std::wstring& database :
             CookieDatabases(profile.folder, folder.legacy_elsewhere)) {
          HeldReason reason = HeldReason::kNone;
          count += ProcessChromiumCookieDatabase(database, browser.id, profile.name, filter,
                                                 items, clean, &reason);
          ReportHeld(held, profile.name, database, reason);
        }
      });
  return count;
}
