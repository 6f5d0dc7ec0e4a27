// The browsers of the Chromium family (Chrome's channels, Edge, Brave, Vivaldi,
// Opera, Chromium): one store for all of them. A browser is described by where it
// keeps its user data folders; each folder holds profiles, and each profile a
// Cookies database, in "<profile>\Network\Cookies" since version 96 and in
// "<profile>\Cookies" before.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <vector>

#include "model/cookie.h"
#include "model/filter.h"
#include "platform/platform.h"
#include "stores/stores.h"

// One user data folder of a browser.
struct ChromiumUserData {
  platform::KnownFolder root;  // LocalAppData or AppData
  const wchar_t* path;         // below it, "Google\\Chrome Beta\\User Data"
  // Opera's layout: the folder is a profile itself (older versions), its Default
  // subfolder another (newer ones), and more profiles lie in "_side_profiles\*".
  bool opera_layout = false;
  // "<profile>\Cookies" here is the Chrome store's, which covers it already; only
  // "<profile>\Network\Cookies" is this store's.
  bool legacy_elsewhere = false;
};

// A browser of the family, as the store needs it.
struct ChromiumBrowser {
  int id;  // goes to every item's m_nBrowser
  std::span<const ChromiumUserData> user_data;
};

// A profile of a user data folder.
struct ChromiumProfile {
  std::wstring folder;  // its full path
  std::wstring name;    // its name in "Local State", else its folder's name
};

// What a profile folder holds that makes it a store's profile.
enum class ChromiumProfileData {
  kCookies,       // a cookie database in either place
  kLocalStorage,  // a "Local Storage\leveldb" folder
  kIndexedDB,     // an "IndexedDB" folder
};

// The profiles of the user data folder `user_data`: every subfolder (never a link)
// that holds `data`, "System Profile" and "Guest Profile" excepted, named by the
// keys of profile.info_cache in its "Local State"; with `opera_layout`, the folder
// itself (whose own "Network" folder is no other profile) and the subfolders of
// "_side_profiles" too.
// In the order the folder search gives them.
std::vector<ChromiumProfile> ChromiumProfiles(
    const std::wstring& user_data, bool opera_layout,
    ChromiumProfileData data = ChromiumProfileData::kCookies);

// Calls `visit` for each profile holding `data` in each of the browser's user data
// folders, with the folder it lies in.
void ForEachChromiumProfile(
    const ChromiumBrowser& browser, ChromiumProfileData data,
    const std::function<void(const ChromiumUserData& folder, const ChromiumProfile& profile)>&
        visit);

// One Cookies database of a profile: a scan appends the evil cookies (tagged with
// `browser` and `profile`) to `items`, a clean pass deletes exactly those rows.
// Reads the columns the table has: host_key, name and path must be there. Returns
// the evil cookies found, or the rows deleted; *held (when given) tells why
// the database was left as it was (HeldReason).
int ProcessChromiumCookieDatabase(const std::wstring& path, int browser,
                                  const std::wstring& profile, const CCookieFilter& filter,
                                  CChromiumCookieArray& items, bool clean, HeldReason* held = nullptr);

// The store entry for one browser of the family: every database of every profile of
// each of its user data folders. Held databases go to `held`.
int ProcessChromiumCookies(const ChromiumBrowser& browser, const CCookieFilter& filter,
                           CChromiumCookieArray& items, bool clean, HeldStores* held = nullptr);
