#include "scan/summary.h"

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

std::vector<std::wstring> HeldSentences(const std::vector<HeldBrowserStore>& held) {
  std::vector<std::wstring> sentences;
  for (const BrowserInfo& browser : Browsers()) {
    for (const HeldBrowserStore& store : held) {
      if (store.browser != browser.id || store.store.reason != HeldReason::kInUse) continue;
      sentences.push_back(std::wstring(browser.summary_name) +
                          L" is running; close it to clean its cookies.");
      break;
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
