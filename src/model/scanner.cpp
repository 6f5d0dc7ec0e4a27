#include "model/scanner.h"

#include "app/settings.h"
#include "stores/stores.h"

namespace {

template <typename Array, typename Entry>
int CleanWith(Entry entry, const CCookieFilter& filter) {
  Array scratch;
  return entry(filter, scratch, true);
}

}  // namespace

const wchar_t* SwitchName(Browser browser) {
  switch (browser) {
    case Browser::kIE:
      return kValueProcessIE;
    case Browser::kFirefox:
      return kValueProcessFirefox;
    case Browser::kChrome:
      return kValueProcessChrome;
    case Browser::kSafari:
      return kValueProcessSafari;
    case Browser::kFlash:
      return kValueProcessFlash;
  }
  return kValueProcessIE;
}

bool SwitchEnabled(Browser browser) { return CtrackscrubApp::GetRegDWORD(SwitchName(browser), 1) != 0; }

size_t CScanLists::CountFor(Browser browser) const {
  switch (browser) {
    case Browser::kIE:
      return ie_cookies.size() + ie_userdata.size();
    case Browser::kFirefox:
      return firefox_cookies.size() + firefox_userdata.size();
    case Browser::kChrome:
      return chrome_cookies.size() + chrome_userdata.size();
    case Browser::kSafari:
      return safari_cookies.size() + safari_userdata.size();
    case Browser::kFlash:
      return flash_cookies.size();
  }
  return 0;
}

size_t CScanLists::Total() const {
  size_t total = 0;
  for (Browser browser : kBrowserOrder) total += CountFor(browser);
  return total;
}

int CCookieScanner::FindIECookies(const CCookieFilter& f, CIECookieArray& items) {
  return ProcessIECookies(f, items, false);
}
int CCookieScanner::FindIEUserdata(const CCookieFilter& f, CIEUserdataArray& items) {
  return ProcessIEUserdata(f, items, false);
}
int CCookieScanner::FindFirefoxCookies(const CCookieFilter& f, CFirefoxCookieArray& items) {
  return ProcessFirefoxCookies(f, items, false);
}
int CCookieScanner::FindFirefoxUserdata(const CCookieFilter& f, CFirefoxUserdataArray& items) {
  return ProcessFirefoxUserdata(f, items, false);
}
int CCookieScanner::FindChromeCookies(const CCookieFilter& f, CChromeCookieArray& items) {
  return ProcessChromeCookies(f, items, false);
}
int CCookieScanner::FindChromeUserdata(const CCookieFilter& f, CChromeUserdataArray& items) {
  return ProcessChromeUserdata(f, items, false);
}
int CCookieScanner::FindSafariCookies(const CCookieFilter& f, CSafariCookieArray& items) {
  return ProcessSafariCookies(f, items, false);
}
int CCookieScanner::FindSafariUserdata(const CCookieFilter& f, CSafariUserdataArray& items) {
  return ProcessSafariUserdata(f, items, false);
}
int CCookieScanner::FindFlashCookies(const CCookieFilter& f, CFlashCookieArray& items) {
  return ProcessFlashCookies(f, items, false);
}

int CCookieScanner::CleanIECookies(const CCookieFilter& f) {
  return CleanWith<CIECookieArray>(ProcessIECookies, f);
}
int CCookieScanner::CleanIEUserdata(const CCookieFilter& f) {
  return CleanWith<CIEUserdataArray>(ProcessIEUserdata, f);
}
int CCookieScanner::CleanFirefoxCookies(const CCookieFilter& f) {
  return CleanWith<CFirefoxCookieArray>(ProcessFirefoxCookies, f);
}
int CCookieScanner::CleanFirefoxUserdata(const CCookieFilter& f) {
  return CleanWith<CFirefoxUserdataArray>(ProcessFirefoxUserdata, f);
}
int CCookieScanner::CleanChromeCookies(const CCookieFilter& f) {
  return CleanWith<CChromeCookieArray>(ProcessChromeCookies, f);
}
int CCookieScanner::CleanChromeUserdata(const CCookieFilter& f) {
  return CleanWith<CChromeUserdataArray>(ProcessChromeUserdata, f);
}
int CCookieScanner::CleanSafariCookies(const CCookieFilter& f) {
  return CleanWith<CSafariCookieArray>(ProcessSafariCookies, f);
}
int CCookieScanner::CleanSafariUserdata(const CCookieFilter& f) {
  return CleanWith<CSafariUserdataArray>(ProcessSafariUserdata, f);
}
int CCookieScanner::CleanFlashCookies(const CCookieFilter& f) {
  return CleanWith<CFlashCookieArray>(ProcessFlashCookies, f);
}

void RunScanSequence(const CCookieFilter& filter, CScanLists* lists, const BrowserGate& enabled) {
  CCookieScanner scanner;
  for (Browser browser : kBrowserOrder) {
    if (!enabled(browser)) continue;
    switch (browser) {
      case Browser::kIE:
        scanner.FindIECookies(filter, lists->ie_cookies);
        scanner.FindIEUserdata(filter, lists->ie_userdata);
        break;
      case Browser::kFirefox:
        scanner.FindFirefoxCookies(filter, lists->firefox_cookies);
        scanner.FindFirefoxUserdata(filter, lists->firefox_userdata);
        break;
      case Browser::kChrome:
        scanner.FindChromeCookies(filter, lists->chrome_cookies);
        scanner.FindChromeUserdata(filter, lists->chrome_userdata);
        break;
      case Browser::kSafari:
        scanner.FindSafariCookies(filter, lists->safari_cookies);
        scanner.FindSafariUserdata(filter, lists->safari_userdata);
        break;
      case Browser::kFlash:
        scanner.FindFlashCookies(filter, lists->flash_cookies);
        break;
    }
  }
}

int RunCleanSequence(const CCookieFilter& filter, const BrowserGate& enabled,
                     const BrowserGate& may_clean) {
  CCookieScanner scanner;
  int count = 0;
  for (Browser browser : kBrowserOrder) {
    if (!enabled(browser)) continue;
    if (browser != Browser::kFlash && may_clean && !may_clean(browser)) continue;
    switch (browser) {
      case Browser::kIE:
        count += scanner.CleanIECookies(filter);
        count += scanner.CleanIEUserdata(filter);
        break;
      case Browser::kFirefox:
        count += scanner.CleanFirefoxCookies(filter);
        count += scanner.CleanFirefoxUserdata(filter);
        break;
      case Browser::kChrome:
        count += scanner.CleanChromeCookies(filter);
        count += scanner.CleanChromeUserdata(filter);
        break;
      case Browser::kSafari:
        count += scanner.CleanSafariCookies(filter);
        count += scanner.CleanSafariUserdata(filter);
        break;
      case Browser::kFlash:
        count += scanner.CleanFlashCookies(filter);
        break;
    }
  }
  return count;
}
