#include "scan/browsers.h"

#include <algorithm>

#include "scan/scanner.h"

namespace {

// The entry of the store whose items go to `List`, reached through the scanner's
// `Find` and `Clean` wrappers.
template <auto List, auto Find, auto Clean>
constexpr StoreEntry Store(const char* kind) {
  return StoreEntry{
      kind,
      [](const CCookieFilter& filter, CScanLists& lists) {
        CCookieScanner scanner;
        return (scanner.*Find)(filter, lists.*List);
      },
      [](const CCookieFilter& filter) {
        CCookieScanner scanner;
        return (scanner.*Clean)(filter);
      },
      [](const CScanLists& lists) {
        std::vector<const CCookie*> items;
        for (const auto& item : lists.*List) items.push_back(&item);
        return items;
      }};
}

using S = CCookieScanner;
using L = CScanLists;

constexpr StoreEntry kIEStores[] = {
    Store<&L::ie_cookies, &S::FindIECookies, &S::CleanIECookies>("cookies"),
    Store<&L::ie_userdata, &S::FindIEUserdata, &S::CleanIEUserdata>("storage"),
};
constexpr StoreEntry kFirefoxStores[] = {
    Store<&L::firefox_cookies, &S::FindFirefoxCookies, &S::CleanFirefoxCookies>("cookies"),
    Store<&L::firefox_userdata, &S::FindFirefoxUserdata, &S::CleanFirefoxUserdata>("storage"),
};
constexpr StoreEntry kChromeStores[] = {
    Store<&L::chrome_cookies, &S::FindChromeCookies, &S::CleanChromeCookies>("cookies"),
    Store<&L::chrome_userdata, &S::FindChromeUserdata, &S::CleanChromeUserdata>("storage"),
};
constexpr StoreEntry kSafariStores[] = {
    Store<&L::safari_cookies, &S::FindSafariCookies, &S::CleanSafariCookies>("cookies"),
    Store<&L::safari_userdata, &S::FindSafariUserdata, &S::CleanSafariUserdata>("storage"),
};
constexpr StoreEntry kFlashStores[] = {
    Store<&L::flash_cookies, &S::FindFlashCookies, &S::CleanFlashCookies>("objects"),
};

// Icon resources of the Windows program.
constexpr int kIconIE = 129;
constexpr int kIconFirefox = 130;
constexpr int kIconSafari = 135;
constexpr int kIconChrome = 136;
constexpr int kIconFlash = 137;

const BrowserInfo kBrowsers[] = {
    {Browser::kIE, L"Internet Explorer", L"Internet Explorer", L"Process.IE",
     L"Clean Internet Explorer cookies", kIconIE,
     {L"IEFrame", L"iexplore.exe", L"Internet Explorer"}, "ie", "Internet Explorer", kIEStores,
     /*summary_place=*/0, /*details_place=*/1},
    {Browser::kFirefox, L"Firefox", L"Firefox", L"Process.FF", L"Clean Firefox cookies",
     kIconFirefox, {L"MozillaUIWindowClass", L"firefox.exe", L"Mozilla Firefox"}, "firefox",
     "Firefox", kFirefoxStores, /*summary_place=*/1, /*details_place=*/0},
    {Browser::kChrome, L"Google Chrome", L"Google Chrome", L"Process.CHROME",
     L"Clean Google Chrome cookies", kIconChrome,
     {L"Chrome_XPFrame", L"chrome.exe", L"Google Chrome"}, "chrome", "Google Chrome",
     kChromeStores, /*summary_place=*/4, /*details_place=*/2},
    {Browser::kSafari, L"Safari", L"Safari", L"Process.SAFARI", L"Clean Safari cookies",
     kIconSafari, {L"{1C03B488-D53B-4a81-97F8-754559640193}", L"safari.exe", L"Apple Safari"},
     "safari", "Safari", kSafariStores, /*summary_place=*/2, /*details_place=*/3},
    {Browser::kFlash, L"Adobe Flash", L"Macromedia Flash", L"Process.FLASH",
     L"Clean Flash local storage", kIconFlash, {nullptr, nullptr, nullptr}, "flash", "Flash",
     kFlashStores, /*summary_place=*/3, /*details_place=*/4},
};

}  // namespace

std::span<const BrowserInfo> Browsers() { return kBrowsers; }

const BrowserInfo& BrowserOf(Browser browser) {
  for (const BrowserInfo& row : kBrowsers) {
    if (row.id == browser) return row;
  }
  return kBrowsers[0];
}

std::vector<const BrowserInfo*> BrowsersBy(int BrowserInfo::*place) {
  std::vector<const BrowserInfo*> rows;
  for (const BrowserInfo& row : kBrowsers) rows.push_back(&row);
  std::stable_sort(rows.begin(), rows.end(), [place](const BrowserInfo* a, const BrowserInfo* b) {
    return a->*place < b->*place;
  });
  return rows;
}
