// The Chromium family's IndexedDB: in each profile, "IndexedDB\<scheme>_<host>_
// <port>.indexeddb.leveldb" holds one site's databases and, where the site stored
// files, "<same>.indexeddb.blob" beside it holds those (port 0: the scheme's
// default). An evil site is one item, and a clean removes both its folders whole;
// nothing else below "IndexedDB" is read or touched.
#pragma once

#include <string>

#include "model/cookie.h"
#include "model/filter.h"
#include "stores/chromium/chromium.h"
#include "stores/stores.h"

// The host of a site's folder name without its suffix ("https_tracker.example_0"
// gives "tracker.example"): between the first and the last "_", after a scheme of
// letters, digits, "+", "-" and "." and before a port of at most 5 digits. Empty
// for a name of any other shape, and for a site without a host ("file__0").
std::wstring ChromiumIndexedDBHost(const std::wstring& identifier);

// One profile's "IndexedDB" folder (`folder`; never entered when it is a link):
// a scan appends one item per evil site (tagged with `browser` and `profile`; name
// the ".leveldb" folder's, else the ".blob" one's; value its file count), a clean
// removes the site's ".blob" folder, then its ".leveldb" folder (platform::
// ShellDelete, links inside removed as entries; a site folder that is itself a link
// is never listed). A site whose ".leveldb\LOCK" another program holds
// (platform::FileInUse: the browser runs) is left whole and its folder goes to
// *held. Returns the evil sites found, or the sites whose folders are gone.
int ProcessChromiumIndexedDBFolder(const std::wstring& folder, int browser,
                                   const std::wstring& profile, const CCookieFilter& filter,
                                   CChromiumIndexedDBArray& items, bool clean,
                                   std::vector<std::wstring>* held = nullptr);

// The store entry for one browser of the family: the "IndexedDB" folder of every
// profile (every subfolder holding one, found as ChromiumProfiles finds them)
// of each of its user data folders. Held sites go to `held`.
int ProcessChromiumIndexedDB(const ChromiumBrowser& browser, const CCookieFilter& filter,
                             CChromiumIndexedDBArray& items, bool clean,
                             HeldStores* held = nullptr);
