// The nine store entries. Each takes the operation's filter, the item list of its
// class and the clean flag:
//  - scan (clean false): appends a copy of every evil item it meets, in order, and
//    changes nothing on disk; returns the number appended.
//  - clean (clean true): removes the evil items from disk in its own way; `items`
//    arrives empty and is scratch space; returns the removals as the store counts
//    them.
// A store whose files or folders are missing or unreadable contributes 0 and
// reports nothing.
//
// The database stores also name, in `held` (when given), every database they left
// as it was for a HeldReason (a running browser held it, it needs recovery, it has
// other links, a DELETE changed more than its row): such a database contributes 0.
// Firefox's cookie store names there too each profile it did not enter because its
// folder lies outside the given profile folder.
#pragma once

#include <string>
#include <vector>

#include "model/cookie.h"
#include "model/filter.h"

// Why a database store left a database as it was and contributed 0.
enum class HeldReason {
  kNone,           // it did not: nothing to report
  kInUse,          // another program (the browser, while it runs) held it
  kNeedsRecovery,  // a scan met a hot journal: only a write (a clean) may recover it
  kHardLinked,     // a clean met a file with more than one link (the database, -wal,
                   // -journal or -shm): writing it would change a file elsewhere too
  kChangedOtherRows,  // a DELETE changed something other than the one row it named:
                      // the whole transaction was rolled back
  kOutsideProfile,    // the profile list names a folder outside the profile folder
                      // given: it was not entered
  kDamaged,           // the database could not be read whole: it is not repaired
};

// A database that a store left as it was, or a profile it did not enter.
struct HeldStore {
  std::wstring profile;  // the profile's name, as the browser shows it
  std::wstring path;     // the database file, or the profile folder
  HeldReason reason = HeldReason::kInUse;
};
using HeldStores = std::vector<HeldStore>;

// Adds a held database to `held`, when there is a list and a reason.
inline void ReportHeld(HeldStores* held, const std::wstring& profile, const std::wstring& path,
                       HeldReason reason = HeldReason::kInUse) {
  if (held != nullptr && reason != HeldReason::kNone) {
    held->push_back(HeldStore{profile, path, reason});
  }
}

int ProcessIECookies(const CCookieFilter& filter, CIECookieArray& items, bool clean);
int ProcessIEUserdata(const CCookieFilter& filter, CIEUserdataArray& items, bool clean);
int ProcessFirefoxCookies(const CCookieFilter& filter, CFirefoxCookieArray& items, bool clean,
                          HeldStores* held = nullptr);
int ProcessFirefoxUserdata(const CCookieFilter& filter, CFirefoxUserdataArray& items, bool clean,
                           HeldStores* held = nullptr);
int ProcessChromeCookies(const CCookieFilter& filter, CChromeCookieArray& items, bool clean,
                         HeldStores* held = nullptr);
int ProcessChromeUserdata(const CCookieFilter& filter, CChromeUserdataArray& items, bool clean);
int ProcessSafariCookies(const CCookieFilter& filter, CSafariCookieArray& items, bool clean);
int ProcessSafariUserdata(const CCookieFilter& filter, CSafariUserdataArray& items, bool clean);
int ProcessFlashCookies(const CCookieFilter& filter, CFlashCookieArray& items, bool clean);
