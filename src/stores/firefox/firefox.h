// Firefox: the profiles listed in "profiles.ini", and in each
// profile the cookie file "cookies.txt", the cookie database "cookies.sqlite" and
// the DOM storage database "webappsstore.sqlite". The store entries
// ProcessFirefoxCookies and ProcessFirefoxUserdata are declared in stores/stores.h;
// these are the steps below them.
#pragma once

#include <string>
#include <vector>

#include "model/cookie.h"
#include "model/filter.h"
#include "platform/platform.h"
#include "stores/stores.h"

// The profile folders named by "profiles.ini" (UTF-8; a line that is not valid
// UTF-8 is read with the ANSI code page) in the Firefox folder (application data +
// "\Mozilla\Firefox\"), then in that of Firefox from the Microsoft Store (local
// application data + "\Packages\Mozilla.Firefox_n80bbvh6b1yt2\LocalCache" +
// "\Roaming\Mozilla\Firefox\"): sections "Profile0", "Profile1", ... up to the first one
// without a "Path"; a "Path" with "IsRelative" not 0 follows the Firefox folder,
// forward slashes and all. A path with a component that is not a Windows name, a
// relative one that begins like an absolute one, and a folder that is a link are
// left out, and so is a folder already listed under another path (the same folder
// by its file identity). While a profile root is set (platform::SetProfileRoot), an
// absolute path is followed only when it lies, as written, inside the root; any
// other is left out. Empty when there is no such folder or no list.
std::vector<std::wstring> FirefoxProfileFolders();

// The profile folders, and the absolute paths left out because they lie outside
// the profile root.
struct FirefoxProfiles {
  std::vector<std::wstring> folders;
  std::vector<std::wstring> outside;
  std::vector<platform::FileIdentity> seen;  // of the folders listed
};
FirefoxProfiles ListFirefoxProfiles();

// The name a held database's profile is reported by: its folder's last component.
std::wstring FirefoxProfileName(const std::wstring& folder);

// How a cookie's originAttributes ("^userContextId=2&partitionKey=%28https%2Cnews.example%29")
// shows beside its site: "container 2, partition https://news.example"; empty
// for none.
std::wstring DescribeOriginAttributes(const std::string& attributes);

// One Netscape cookie file. A scan appends the evil records to `items`; a clean
// pass uses `items` as scratch space (empty again on return) and rewrites the file
// with every other line it could not drop: kept records, each line's bytes as read
// (a Ctrl-Z is part of a line, as Firefox reads the file), then the unread rest of
// the file from a line that is not a record on. Returns the evil records (in a
// clean pass, those dropped from the file on disk: 0 when the rewrite failed or
// another program changed the file since it was read); a missing or unreadable
// file gives 0 and is left alone.
int ProcessFirefoxCookieFile(const std::wstring& path, const CCookieFilter& filter,
                             CFirefoxCookieArray& items, bool clean);

// One "cookies.sqlite" (table moz_cookies), through the shared database step; the
// expiry in milliseconds from schema 16 on, the cookie's container and partition
// from originAttributes where the table has it. *held (when given) tells why
// the database was left as it was (HeldReason).
int ProcessFirefoxCookieDatabase(const std::wstring& path, const CCookieFilter& filter,
                                 CFirefoxCookieArray& items, bool clean, HeldReason* held = nullptr);

// One "webappsstore.sqlite": the tables webappsstore (site = domain) and
// webappsstore2 (site = scope before its first ":", reversed), in one database step.
int ProcessFirefoxStorageDatabase(const std::wstring& path, const CCookieFilter& filter,
                                  CFirefoxUserdataArray& items, bool clean, HeldReason* held = nullptr);
// The same database as read for the per-site storage store ("storage\ls-archive.sqlite").
int ProcessFirefoxStorageDatabase(const std::wstring& path, const CCookieFilter& filter,
                                  CFirefoxSiteStorageArray& items, bool clean,
                                  HeldReason* held = nullptr);

// Turns a webappsstore2 scope into its site, in place: the bytes before the first
// ":" (all of them when there is none) in reverse order. "zyx.:http:80" gives
// ".xyz".
void ScopeToSite(std::string* scope);
