// The scan and clean sequences over the stores of the table of browsers, in its
// order, gated by the caller's per-browser switches.
#pragma once

#include <cstddef>
#include <functional>

#include "model/cookie.h"
#include "model/filter.h"
#include "scan/browsers.h"

// Whether a browser takes part: the caller decides (the front ends read the
// browser's switch).
using BrowserGate = std::function<bool(Browser)>;

// The nine item lists of one scan.
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
  int FindFirefoxCookies(const CCookieFilter& filter, CFirefoxCookieArray& items);
  int FindFirefoxUserdata(const CCookieFilter& filter, CFirefoxUserdataArray& items);
  int FindChromeCookies(const CCookieFilter& filter, CChromeCookieArray& items);
  int FindChromeUserdata(const CCookieFilter& filter, CChromeUserdataArray& items);
  int FindSafariCookies(const CCookieFilter& filter, CSafariCookieArray& items);
  int FindSafariUserdata(const CCookieFilter& filter, CSafariUserdataArray& items);
  int FindFlashCookies(const CCookieFilter& filter, CFlashCookieArray& items);

  int CleanIECookies(const CCookieFilter& filter);
  int CleanIEUserdata(const CCookieFilter& filter);
  int CleanFirefoxCookies(const CCookieFilter& filter);
  int CleanFirefoxUserdata(const CCookieFilter& filter);
  int CleanChromeCookies(const CCookieFilter& filter);
  int CleanChromeUserdata(const CCookieFilter& filter);
  int CleanSafariCookies(const CCookieFilter& filter);
  int CleanSafariUserdata(const CCookieFilter& filter);
  int CleanFlashCookies(const CCookieFilter& filter);
};

// Fills `lists` with the evil items of every browser the gate lets through, each
// gate asked once, just before the browser's turn.
void RunScanSequence(const CCookieFilter& filter, CScanLists* lists, const BrowserGate& enabled);

// Cleans every browser the gate lets through and returns the sum of the stores'
// counts. `may_clean` is asked, after the gate, for every browser that the
// running-browser test knows (the interactive clean asks the user about running
// browsers there).
int RunCleanSequence(const CCookieFilter& filter, const BrowserGate& enabled,
                     const BrowserGate& may_clean = nullptr);
