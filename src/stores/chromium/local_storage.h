// The Chromium family's local storage: "<profile>\Local Storage\leveldb", a LevelDB
// database of the values pages keep. Its keys: "VERSION"; "META:<origin>" and
// "METAACCESS:<origin>" for each origin (small protocol buffers, never parsed
// here); and "_<origin>" NUL <kind> <page's key> for each value, where the kind
// byte is 0 for UTF-16LE text and 1 for Latin-1; a value starts with its kind byte
// too. An origin is "scheme://host[:port]"; the filter decides on its host.
#pragma once

#include <string>
#include <string_view>

#include "model/cookie.h"
#include "model/filter.h"
#include "stores/chromium/chromium.h"
#include "stores/stores.h"

// The host of an origin "scheme://host[:port]" (an IPv6 host keeps its brackets);
// empty when the origin has no "://" or no host.
std::wstring LocalStorageOriginHost(std::string_view origin);

// Text that starts with its kind byte (0: UTF-16LE, 1: Latin-1), decoded, with
// every control character shown as a space and at most `max_chars` characters;
// empty for an unknown kind.
std::wstring LocalStorageText(std::string_view bytes, size_t max_chars);

// Why a database was left as it was.
enum class LocalStorageSkip {
  kNone,
  kHeld,     // another program (the browser) holds its LOCK
  kDamaged,  // it does not open or read whole: nothing changed, nothing repaired
};

// One "Local Storage\leveldb" folder (never a link) of a profile: a scan appends
// one item per evil origin (tagged with `browser` and `profile`), a clean deletes
// all of each evil origin's keys in one write batch and compacts their key ranges,
// so that no file of the folder keeps the values. Returns the evil origins found or
// removed.
// A scan writes nothing: it reads a copy of the folder's files in memory. A clean
// first reads the same copy and opens the database on disk only when the copy
// reads whole and holds an evil origin. *skipped (when given) tells why a database
// was left as it was.
int ProcessChromiumLocalStorageFolder(const std::wstring& folder, int browser,
                                      const std::wstring& profile, const CCookieFilter& filter,
                                      CChromiumLocalStorageArray& items, bool clean,
                                      LocalStorageSkip* skipped = nullptr);

// The store entry for one browser of the family: the folder of every profile of
// each of its user data folders. Folders held or damaged go to `held`.
int ProcessChromiumLocalStorage(const ChromiumBrowser& browser, const CCookieFilter& filter,
                                CChromiumLocalStorageArray& items, bool clean,
                                HeldStores* held = nullptr);
