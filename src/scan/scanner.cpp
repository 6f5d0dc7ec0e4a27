#include "scan/scanner.h"

#include <utility>

#include "stores/stores.h"

namespace {

template <typename Array, typename Entry>
int CleanWith(Entry entry, const CCookieFilter& filter) {
  Array scratch;
  return entry(filter, scratch, true);
}

template <typename Array, typename Entry>
int CleanWith(Entry entry, const CCookieFilter& filter, HeldStores* held) {
  Array scratch;
  return entry(filter, scratch, true, held);
}

// Moves the held databases of one store to the browser's list.
void AddHeld(Browser browser, HeldStores&& stores, std::vector<HeldBrowserStore>* held) {
  if (held == nullptr) return;
  for (HeldStore& store : stores) held->push_back(HeldBrowserStore{browser, std::move(store)});
}

}  // namespace

size_t CScanLists::CountFor(Browser browser) const {
  size_t count = 0;
  const BrowserInfo& row = BrowserOf(browser);
  for (const StoreEntry& store : row.stores) count += store.items(row, *this).size();
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
int CCookieScanner::FindFirefoxCookies(const CCookieFilter& f, CFirefoxCookieArray& items, HeldStores* held) {
  return ProcessFirefoxCookies(f, items, false, held);
}
int CCookieScanner::FindFirefoxUserdata(const CCookieFilter& f, CFirefoxUserdataArray& items, HeldStores* held) {
  return ProcessFirefoxUserdata(f, items, false, held);
}
int CCookieScanner::FindChromeCookies(const CCookieFilter& f, CChromeCookieArray& items, HeldStores* held) {
  return ProcessChromeCookies(f, items, false, held);
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
int CCookieScanner::CleanFirefoxCookies(const CCookieFilter& f, HeldStores* held) {
  return CleanWith<CFirefoxCookieArray>(ProcessFirefoxCookies, f, held);
}
int CCookieScanner::CleanFirefoxUserdata(const CCookieFilter& f, HeldStores* held) {
  return CleanWith<CFirefoxUserdataArray>(ProcessFirefoxUserdata, f, held);
}
int CCookieScanner::CleanChromeCookies(const CCookieFilter& f, HeldStores* held) {
  return CleanWith<CChromeCookieArray>(ProcessChromeCookies, f, held);
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

void RunScanSequence(const CCookieFilter& filter, CScanLists* lists, const BrowserGate& enabled,
                     const ProgressSink& progress) {
  size_t found = 0;
  for (const BrowserInfo& browser : Browsers()) {
    if (!enabled(browser.id)) continue;
    for (const StoreEntry& store : browser.stores) {
      if (progress) progress(SequenceProgress{browser.id, store.kind, found});
      HeldStores held;
      found += static_cast<size_t>(store.scan(browser, filter, *lists, &held));
      AddHeld(browser.id, std::move(held), &lists->held);
    }
  }
}

int RunCleanSequence(const CCookieFilter& filter, const BrowserGate& enabled,
                     const BrowserGate& may_clean, std::vector<HeldBrowserStore>* held,
                     const ProgressSink& progress) {
  int count = 0;
  for (const BrowserInfo& browser : Browsers()) {
    if (!enabled(browser.id)) continue;
    if (!browser.process.window_classes.empty() && may_clean && !may_clean(browser.id)) continue;
    for (const StoreEntry& store : browser.stores) {
      if (progress) progress(SequenceProgress{browser.id, store.kind, static_cast<size_t>(count)});
      HeldStores stores;
      count += store.clean(browser, filter, &stores);
      AddHeld(browser.id, std::move(stores), held);
    }
  }
  return count;
}
