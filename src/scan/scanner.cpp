#include "scan/scanner.h"

#include "stores/stores.h"

namespace {

template <typename Array, typename Entry>
int CleanWith(Entry entry, const CCookieFilter& filter) {
  Array scratch;
  return entry(filter, scratch, true);
}

}  // namespace

size_t CScanLists::CountFor(Browser browser) const {
  size_t count = 0;
  for (const StoreEntry& store : BrowserOf(browser).stores) count += store.items(*this).size();
  return count;
}

size_t CScanLists::Total() const {
  size_t total = 0;
  for (const BrowserInfo& browser : Browsers()) total += CountFor(browser.id);
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
  for (const BrowserInfo& browser : Browsers()) {
    if (!enabled(browser.id)) continue;
    for (const StoreEntry& store : browser.stores) store.scan(filter, *lists);
  }
}

int RunCleanSequence(const CCookieFilter& filter, const BrowserGate& enabled,
                     const BrowserGate& may_clean) {
  int count = 0;
  for (const BrowserInfo& browser : Browsers()) {
    if (!enabled(browser.id)) continue;
    if (browser.process.window_class != nullptr && may_clean && !may_clean(browser.id)) continue;
    for (const StoreEntry& store : browser.stores) count += store.clean(filter);
  }
  return count;
}
