// The scan and clean sequences over the stores of the table of browsers, in its
// order, gated by the caller's per-browser switches.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "model/cookie.h"
#include "model/filter.h"
#include "scan/browsers.h"

// Whether a browser takes part: the caller decides (the front ends read the
// browser's switch).
using BrowserGate = std::function<bool(Browser)>;

// A database a running browser held from a scan or a clean.
struct HeldBrowserStore {
  Browser browser;
  HeldStore store;
};

// The item lists of one scan: one per store (the Chromium family's store is one
// store for all its browsers), and the databases that running browsers held.
struct CScanLists {
  CIECookieArray ie_cookies;
  CIEUserdataArray ie_userdata;
  CFirefoxCookieArray firefox_cookies;
  CFirefoxUserdataArray firefox_userdata;
  CChromeCookieArray chrome_cookies;
  CChromeUserdataArray chrome_userdata;
  CSafariCookieArray safari_cookies;
  CSafariUserdataArray safari_userdata;
  CFlashCookieArray flash_cookies;
  CChromiumCookieArray chromium_cookies;
  CChromiumLocalStorageArray chromium_local_storage;
  CChromiumIndexedDBArray chromium_indexeddb;
  CFirefoxSiteStorageArray firefox_site_storage;
  std::vector<HeldBrowserStore> held;

  // The items of all the browser's stores.
  size_t CountFor(Browser browser) const;
  size_t Total() const;
};

// The scan wrappers fill the caller's list; the clean wrappers use a list of their
// own as scratch space.
class CCookieScanner {
 public:
  int FindIECookies(const CCookieFilter& filter, CIECookieArray& items);
  int FindIEUserdata(const CCookieFilter& filter, CIEUserdataArray& items);
  int FindFirefoxCookies(const CCookieFilter& filter, CFirefoxCookieArray& items,
                         HeldStores* held = nullptr);
  int FindFirefoxUserdata(const CCookieFilter& filter, CFirefoxUserdataArray& items,
                          HeldStores* held = nullptr);
  int FindChromeCookies(const CCookieFilter& filter, CChromeCookieArray& items,
                        HeldStores* held = nullptr);
  int FindChromeUserdata(const CCookieFilter& filter, CChromeUserdataArray& items);
  int FindSafariCookies(const CCookieFilter& filter, CSafariCookieArray& items);
  int FindSafariUserdata(const CCookieFilter& filter, CSafariUserdataArray& items);
  int FindFlashCookies(const CCookieFilter& filter, CFlashCookieArray& items);

  int CleanIECookies(const CCookieFilter& filter);
  int CleanIEUserdata(const CCookieFilter& filter);
  int CleanFirefoxCookies(const CCookieFilter& filter, HeldStores* held = nullptr);
  int CleanFirefoxUserdata(const CCookieFilter& filter, HeldStores* held = nullptr);
  int CleanChromeCookies(const CCookieFilter& filter, HeldStores* held = nullptr);
  int CleanChromeUserdata(const CCookieFilter& filter);
  int CleanSafariCookies(const CCookieFilter& filter);
  int CleanSafariUserdata(const CCookieFilter& filter);
  int CleanFlashCookies(const CCookieFilter& filter);
};

// Where a sequence is: the browser and the store about to run (its kind, as
// StoreEntry::kind), and the items found (scan) or removed (clean) so far.
struct SequenceProgress {
  Browser browser;
  const char* store;
  size_t items;
};

// Told, on the sequence's own thread, before each store runs.
using ProgressSink = std::function<void(const SequenceProgress&)>;

// Fills `lists` with the evil items of every browser the gate lets through, each
// gate asked once, just before the browser's turn, and lists.held with the
// databases running browsers held. `progress`, when given, is told where the scan
// is.
void RunScanSequence(const CCookieFilter& filter, CScanLists* lists, const BrowserGate& enabled,
                     const ProgressSink& progress = nullptr);

// Cleans every browser the gate lets through and returns the sum of the stores'
// counts. `may_clean` is asked, after the gate, for every browser that the
// running-browser test knows (the interactive clean asks the user about running
// browsers there). The databases running browsers held, which count nothing, go to
// `held` when it is given. `progress`, when given, is told where the clean is.
int RunCleanSequence(const CCookieFilter& filter, const BrowserGate& enabled,
                     const BrowserGate& may_clean = nullptr,
                     std::vector<HeldBrowserStore>* held = nullptr,
                     const ProgressSink& progress = nullptr);
