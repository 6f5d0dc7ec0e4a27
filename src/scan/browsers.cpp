#include "scan/browsers.h"

#include <algorithm>
#include <type_traits>
#include <utility>

#include "scan/scanner.h"
#include "stores/chromium/indexeddb.h"
#include "stores/chromium/local_storage.h"
#include "stores/firefox/firefox_site_storage.h"

namespace {

// Every item of the list `List`.
template <auto List>
std::vector<const CCookie*> ItemsOf(const BrowserInfo&, const CScanLists& lists) {
  std::vector<const CCookie*> items;
  for (const auto& item : lists.*List) items.push_back(&item);
  return items;
}

// The entry of the store whose items go to `List`, reached through the scanner's
// `Find` and `Clean` wrappers.
template <auto List, auto Find, auto Clean>
constexpr StoreEntry Store(const char* kind) {
  return StoreEntry{
      kind,
      [](const BrowserInfo&, const CCookieFilter& filter, CScanLists& lists, HeldStores*) {
        CCookieScanner scanner;
        return (scanner.*Find)(filter, lists.*List);
      },
      [](const BrowserInfo&, const CCookieFilter& filter, HeldStores*) {
        CCookieScanner scanner;
        return (scanner.*Clean)(filter);
      },
      ItemsOf<List>};
}

// The same for a database store, which names the databases a running browser held.
template <auto List, auto Find, auto Clean>
constexpr StoreEntry DatabaseStore(const char* kind) {
  return StoreEntry{
      kind,
      [](const BrowserInfo&, const CCookieFilter& filter, CScanLists& lists, HeldStores* held) {
        CCookieScanner scanner;
        return (scanner.*Find)(filter, lists.*List, held);
      },
      [](const BrowserInfo&, const CCookieFilter& filter, HeldStores* held) {
        CCookieScanner scanner;
        return (scanner.*Clean)(filter, held);
      },
      ItemsOf<List>};
}

// The items of the list `List` of a Chromium-family store that belong to `browser`.
template <auto List>
std::vector<const CCookie*> FamilyItemsOf(const BrowserInfo& browser, const CScanLists& lists) {
  std::vector<const CCookie*> items;
  for (const auto& item : lists.*List) {
    if (item.m_nBrowser == static_cast<int>(browser.id)) items.push_back(&item);
  }
  return items;
}

ChromiumBrowser FamilyMember(const BrowserInfo& browser) {
  return ChromiumBrowser{static_cast<int>(browser.id), browser.chromium_user_data};
}

// A store of the Chromium family, one for all its browsers: the browser's row tells
// `Process` where to look, and the items it adds to `List` carry the browser.
template <auto List, auto Process>
constexpr StoreEntry FamilyStore(const char* kind) {
  return StoreEntry{
      kind,
      [](const BrowserInfo& browser, const CCookieFilter& filter, CScanLists& lists,
         HeldStores* held) {
        return Process(FamilyMember(browser), filter, lists.*List, false, held);
      },
      [](const BrowserInfo& browser, const CCookieFilter& filter, HeldStores* held) {
        std::remove_reference_t<decltype(std::declval<CScanLists&>().*List)> scratch;
        return Process(FamilyMember(browser), filter, scratch, true, held);
      },
      FamilyItemsOf<List>};
}

constexpr StoreEntry kChromiumCookies =
    FamilyStore<&CScanLists::chromium_cookies, ProcessChromiumCookies>("cookies");
constexpr StoreEntry kChromiumLocalStorage =
    FamilyStore<&CScanLists::chromium_local_storage, ProcessChromiumLocalStorage>("local-storage");
constexpr StoreEntry kChromiumIndexedDB =
    FamilyStore<&CScanLists::chromium_indexeddb, ProcessChromiumIndexedDB>("indexeddb");

// Firefox's per-site storage folders and localStorage archive.
constexpr StoreEntry kFirefoxSiteStorage{
    "site-storage",
    [](const BrowserInfo&, const CCookieFilter& filter, CScanLists& lists, HeldStores* held) {
      return ProcessFirefoxSiteStorage(filter, lists.firefox_site_storage, false, held);
    },
    [](const BrowserInfo&, const CCookieFilter& filter, HeldStores* held) {
      CFirefoxSiteStorageArray scratch;
      return ProcessFirefoxSiteStorage(filter, scratch, true, held);
    },
    ItemsOf<&CScanLists::firefox_site_storage>};

using S = CCookieScanner;
using L = CScanLists;

constexpr StoreEntry kIEStores[] = {
    Store<&L::ie_cookies, &S::FindIECookies, &S::CleanIECookies>("cookies"),
    Store<&L::ie_userdata, &S::FindIEUserdata, &S::CleanIEUserdata>("storage"),
};
constexpr StoreEntry kFirefoxStores[] = {
    DatabaseStore<&L::firefox_cookies, &S::FindFirefoxCookies, &S::CleanFirefoxCookies>("cookies"),
    DatabaseStore<&L::firefox_userdata, &S::FindFirefoxUserdata, &S::CleanFirefoxUserdata>(
        "storage"),
    kFirefoxSiteStorage,
};
constexpr StoreEntry kChromeStores[] = {
    DatabaseStore<&L::chrome_cookies, &S::FindChromeCookies, &S::CleanChromeCookies>("cookies"),
    kChromiumCookies,
    Store<&L::chrome_userdata, &S::FindChromeUserdata, &S::CleanChromeUserdata>("storage"),
    kChromiumLocalStorage,
    kChromiumIndexedDB,
};
constexpr StoreEntry kSafariStores[] = {
    Store<&L::safari_cookies, &S::FindSafariCookies, &S::CleanSafariCookies>("cookies"),
    Store<&L::safari_userdata, &S::FindSafariUserdata, &S::CleanSafariUserdata>("storage"),
};
constexpr StoreEntry kFlashStores[] = {
    Store<&L::flash_cookies, &S::FindFlashCookies, &S::CleanFlashCookies>("objects"),
};
constexpr StoreEntry kChromiumStores[] = {kChromiumCookies, kChromiumLocalStorage,
                                          kChromiumIndexedDB};

// Where the Chromium family keeps its user data folders. Chrome's stable channel
// keeps "<profile>\Cookies" in the Chrome store; its other places are the family's.
using platform::KnownFolder;
constexpr ChromiumUserData kChromeUserData[] = {
    {KnownFolder::LocalAppData, L"Google\\Chrome\\User Data", false, true},
    {KnownFolder::LocalAppData, L"Google\\Chrome Beta\\User Data"},
    {KnownFolder::LocalAppData, L"Google\\Chrome Dev\\User Data"},
    {KnownFolder::LocalAppData, L"Google\\Chrome SxS\\User Data"},
};
constexpr ChromiumUserData kEdgeUserData[] = {
    {KnownFolder::LocalAppData, L"Microsoft\\Edge\\User Data"},
    {KnownFolder::LocalAppData, L"Microsoft\\Edge Beta\\User Data"},
    {KnownFolder::LocalAppData, L"Microsoft\\Edge Dev\\User Data"},
    {KnownFolder::LocalAppData, L"Microsoft\\Edge SxS\\User Data"},
};
constexpr ChromiumUserData kBraveUserData[] = {
    {KnownFolder::LocalAppData, L"BraveSoftware\\Brave-Browser\\User Data"},
    {KnownFolder::LocalAppData, L"BraveSoftware\\Brave-Browser-Beta\\User Data"},
    {KnownFolder::LocalAppData, L"BraveSoftware\\Brave-Browser-Nightly\\User Data"},
};
constexpr ChromiumUserData kVivaldiUserData[] = {
    {KnownFolder::LocalAppData, L"Vivaldi\\User Data"},
};
constexpr ChromiumUserData kOperaUserData[] = {
    {KnownFolder::AppData, L"Opera Software\\Opera Stable", true},
    {KnownFolder::AppData, L"Opera Software\\Opera GX Stable", true},
};
constexpr ChromiumUserData kChromiumUserData[] = {
    {KnownFolder::LocalAppData, L"Chromium\\User Data"},
};

// Icon resources of the Windows program.
constexpr int kIconIE = 129;
constexpr int kIconFirefox = 130;
constexpr int kIconSafari = 135;
constexpr int kIconChrome = 136;
constexpr int kIconFlash = 137;
constexpr int kIconEdge = 138;
constexpr int kIconBrave = 139;
constexpr int kIconVivaldi = 140;
constexpr int kIconOpera = 141;
constexpr int kIconChromium = 142;

// Main-window classes: today's Chromium family draws every window with the second.
constexpr const wchar_t* kIEWindows[] = {L"IEFrame"};
constexpr const wchar_t* kFirefoxWindows[] = {L"MozillaUIWindowClass"};
constexpr const wchar_t* kChromeWindows[] = {L"Chrome_XPFrame", L"Chrome_WidgetWin_1"};
constexpr const wchar_t* kSafariWindows[] = {L"{1C03B488-D53B-4a81-97F8-754559640193}"};
constexpr const wchar_t* kChromiumWindows[] = {L"Chrome_WidgetWin_1"};

const BrowserInfo kBrowsers[] = {
    {Browser::kIE, L"Internet Explorer", L"Internet Explorer", L"Process.IE",
     L"Clean Internet Explorer cookies", kIconIE,
     {kIEWindows, L"iexplore.exe", nullptr, L"Internet Explorer"}, "ie", "Internet Explorer",
     kIEStores, {}, /*summary_place=*/0, /*details_place=*/1},
    {Browser::kFirefox, L"Firefox", L"Firefox", L"Process.FF", L"Clean Firefox cookies",
     kIconFirefox, {kFirefoxWindows, L"firefox.exe", nullptr, L"Mozilla Firefox"}, "firefox",
     "Firefox", kFirefoxStores, {}, /*summary_place=*/1, /*details_place=*/0},
    {Browser::kChrome, L"Google Chrome", L"Google Chrome", L"Process.CHROME",
     L"Clean Google Chrome cookies", kIconChrome,
     {kChromeWindows, L"chrome.exe", L"\\Google\\Chrome", L"Google Chrome"}, "chrome",
     "Google Chrome", kChromeStores, kChromeUserData, /*summary_place=*/4, /*details_place=*/2},
    {Browser::kSafari, L"Safari", L"Safari", L"Process.SAFARI", L"Clean Safari cookies",
     kIconSafari, {kSafariWindows, L"safari.exe", nullptr, L"Apple Safari"}, "safari", "Safari",
     kSafariStores, {}, /*summary_place=*/2, /*details_place=*/3},
    {Browser::kFlash, L"Adobe Flash", L"Macromedia Flash", L"Process.FLASH",
     L"Clean Flash local storage", kIconFlash, {{}, nullptr, nullptr, nullptr}, "flash", "Flash",
     kFlashStores, {}, /*summary_place=*/3, /*details_place=*/4},
    {Browser::kEdge, L"Microsoft Edge", L"Microsoft Edge", L"Process.EDGE",
     L"Clean Microsoft Edge cookies", kIconEdge,
     {kChromiumWindows, L"msedge.exe", nullptr, L"Microsoft Edge"}, "edge", "Microsoft Edge",
     kChromiumStores, kEdgeUserData, /*summary_place=*/5, /*details_place=*/5},
    {Browser::kBrave, L"Brave", L"Brave", L"Process.BRAVE", L"Clean Brave cookies", kIconBrave,
     {kChromiumWindows, L"brave.exe", nullptr, L"Brave"}, "brave", "Brave", kChromiumStores,
     kBraveUserData, /*summary_place=*/6, /*details_place=*/6},
    {Browser::kVivaldi, L"Vivaldi", L"Vivaldi", L"Process.VIVALDI", L"Clean Vivaldi cookies",
     kIconVivaldi, {kChromiumWindows, L"vivaldi.exe", nullptr, L"Vivaldi"}, "vivaldi", "Vivaldi",
     kChromiumStores, kVivaldiUserData, /*summary_place=*/7, /*details_place=*/7},
    {Browser::kOpera, L"Opera", L"Opera", L"Process.OPERA", L"Clean Opera cookies", kIconOpera,
     {kChromiumWindows, L"opera.exe", nullptr, L"Opera"}, "opera", "Opera", kChromiumStores,
     kOperaUserData, /*summary_place=*/8, /*details_place=*/8},
    {Browser::kChromium, L"Chromium", L"Chromium", L"Process.CHROMIUM", L"Clean Chromium cookies",
     kIconChromium, {kChromiumWindows, L"chrome.exe", L"\\Chromium\\Application", L"Chromium"},
     "chromium", "Chromium", kChromiumStores, kChromiumUserData, /*summary_place=*/9,
     /*details_place=*/9},
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
