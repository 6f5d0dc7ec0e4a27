// The browsers Trackscrub knows, one row each. Everything that walks the browsers
// (the scan and clean sequence, the counts, the summary wording, the details groups,
// the options switches, the running-browser test, the console front end) reads this
// table; a new browser is a new row, its item lists and its store code.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "model/cookie.h"
#include "model/filter.h"
#include "stores/chromium/chromium.h"
#include "stores/stores.h"

enum class Browser { kIE, kFirefox, kChrome, kSafari, kFlash, kEdge, kBrave, kVivaldi, kOpera, kChromium };

struct BrowserInfo;
struct CScanLists;

// One store of a browser: its item list in a scan, and the scan and clean wrappers
// of CCookieScanner that reach its entry function. A store may serve several
// browsers (the Chromium family's): it is given the browser's row.
struct StoreEntry {
  // The console front end's name for the kind of item: "cookies", "storage", ...
  const char* kind;
  // Appends the store's evil items to its list in `lists`; returns the number added.
  // Databases a running browser held go to `held`.
  int (*scan)(const BrowserInfo& browser, const CCookieFilter& filter, CScanLists& lists,
              HeldStores* held);
  // Removes the store's evil items; returns the number removed.
  int (*clean)(const BrowserInfo& browser, const CCookieFilter& filter, HeldStores* held);
  // The browser's items of the store's list in `lists`, in the order the scan found
  // them.
  std::vector<const CCookie*> (*items)(const BrowserInfo& browser, const CScanLists& lists);
};

// How the running-browser test recognises the browser: a top-level window of one of
// `window_classes` whose process runs `executable` (from a path that contains
// `folder`, where one is given: Chrome and Chromium both run chrome.exe);
// `display_name` is what the prompt calls it. A browser without a window class is
// never asked about.
struct BrowserProcessNames {
  std::span<const wchar_t* const> window_classes;
  const wchar_t* executable;
  const wchar_t* folder;
  const wchar_t* display_name;
};

struct BrowserInfo {
  Browser id;
  // The name in the summary's list of counts ("%lld in Internet Explorer").
  const wchar_t* summary_name;
  // The name in "all of them are in %s." (Flash keeps its older name there).
  const wchar_t* all_in_name;
  // The settings switch ("Process.IE"); 1, its default, takes the browser in.
  const wchar_t* switch_name;
  // The caption of its switch in the Options dialog.
  const wchar_t* option_caption;
  // Its icon resource in the Options dialog and the Details list.
  int icon;
  BrowserProcessNames process;
  // The console front end's name for --browsers, and its label in output.
  const char* console_name;
  const char* console_label;
  // Its stores, in the order every sequence visits them.
  std::span<const StoreEntry> stores;
  // Where a browser of the Chromium family keeps its user data folders (empty for
  // the others).
  std::span<const ChromiumUserData> chromium_user_data;
  // Its place in the summary's list of counts (the sentence names Chrome last).
  int summary_place;
  // Its place from the top of the Details list.
  int details_place;
};

// Every browser in the order every sequence visits them: Internet Explorer,
// Firefox, Google Chrome, Safari, Flash, Microsoft Edge, Brave, Vivaldi, Opera,
// Chromium.
std::span<const BrowserInfo> Browsers();
// The row of a browser.
const BrowserInfo& BrowserOf(Browser browser);
// The rows ordered by one of the places above.
std::vector<const BrowserInfo*> BrowsersBy(int BrowserInfo::*place);
