#include "scan/summary.h"

#include <algorithm>
#include <cwchar>
#include <ctime>

#include "platform/platform.h"

namespace {

template <typename... Args>
std::wstring FormatCount(const wchar_t* format, Args... args) {
  wchar_t text[256];
  std::swprintf(text, 256, format, args...);
  return text;
}

}  // namespace

std::wstring FormatFoundSentence(const CScanLists& lists) {
  const auto total = static_cast<long long>(lists.Total());
  if (total <= 0) return L"No evil cookies have been found on your computer.";
  std::wstring text =
      FormatCount(L"%lld potentially evil cookies have been found on your computer: ", total);
  for (const BrowserInfo& browser : Browsers()) {
    if (static_cast<long long>(lists.CountFor(browser.id)) == total) {
      return text + L"all of them are in " + browser.all_in_name + L".";
    }
  }
  const wchar_t* separator = L"";
  for (const BrowserInfo* browser : BrowsersBy(&BrowserInfo::summary_place)) {
    const auto count = static_cast<long long>(lists.CountFor(browser->id));
    if (count <= 0) continue;
    text += FormatCount(L"%ls%lld in ", separator, count) + browser->summary_name;
    separator = L", ";
  }
  return text + L".";
}

namespace {

// What the user is told of a browser whose stores were skipped for `reason`.
std::wstring SkippedSentence(const std::wstring& browser, HeldReason reason) {
  switch (reason) {
    case HeldReason::kInUse:
      return browser + L" is running; close it to clean its cookies.";
    case HeldReason::kNeedsRecovery:
      return L"A database of " + browser +
             L" was left half-written; cleaning recovers it first, as the browser would.";
    case HeldReason::kHardLinked:
      return L"A database of " + browser +
             L" is shared with files elsewhere (hard links); it is left as it is.";
    case HeldReason::kChangedOtherRows:
      return L"A database of " + browser +
             L" would not delete only the listed items; nothing was removed from it.";
    case HeldReason::kOutsideProfile:
      return L"A profile of " + browser + L" lies outside the folder being cleaned; it is skipped.";
    case HeldReason::kDamaged:
      return L"A database of " + browser + L" is damaged; it is left as it is.";
    case HeldReason::kNone:
      break;
  }
  return std::wstring();
}

}  // namespace

std::vector<std::wstring> HeldSentences(const std::vector<HeldBrowserStore>& held) {
  std::vector<std::wstring> sentences;
  for (const BrowserInfo& browser : Browsers()) {
    std::vector<HeldReason> told;
    for (const HeldBrowserStore& store : held) {
      if (store.browser != browser.id || store.store.reason == HeldReason::kNone) continue;
      if (std::find(told.begin(), told.end(), store.store.reason) != told.end()) continue;
      told.push_back(store.store.reason);
      sentences.push_back(SkippedSentence(browser.summary_name, store.store.reason));
    }
  }
  return sentences;
}

std::wstring FormatLastCleanLine(uint64_t last_clean) {
  if (last_clean == 0) return L"\n\nNo cleanup has been performed yet.";
  uint64_t local = 0;
  platform::SystemTime st;
  if (!platform::FileTimeToLocalFileTime(last_clean, &local) ||
      !platform::FileTimeToSystemTime(local, &st)) {
    return std::wstring();
  }
  struct tm parts = {};
  parts.tm_year = st.year - 1900;
  parts.tm_mon = st.month - 1;
  parts.tm_mday = st.day;
  parts.tm_hour = st.hour;
  parts.tm_min = st.minute;
  parts.tm_sec = st.second;
  parts.tm_wday = st.day_of_week;
  wchar_t text[128];
  if (std::wcsftime(text, 128, L"\n\nA cleanup was last performed at: %A, %Y-%b-%d %H:%M",
                    &parts) == 0) {
    return std::wstring();
  }
  return text;
}

std::wstring FormatCleanResult(int count) {
  if (count == 0) return L"No cookies have been removed.";
  return FormatCount(L"%lld cookies have been cleaned.", count);
}
