#include "model/summary.h"

#include <cwchar>
#include <ctime>

#include "app/settings.h"
#include "platform/platform.h"

namespace {

std::wstring FormatCount(const wchar_t* format, long long count) {
  wchar_t text[256];
  std::swprintf(text, 256, format, count);
  return text;
}

}  // namespace

std::wstring FormatFoundSentence(const CScanLists& lists) {
  const auto total = static_cast<long long>(lists.Total());
  if (total <= 0) return L"No evil cookies have been found on your computer.";
  std::wstring text =
      FormatCount(L"%lld potentially evil cookies have been found on your computer: ", total);
  struct Single {
    Browser browser;
    const wchar_t* sentence;
  };
  static const Single kSingles[] = {
      {Browser::kIE, L"all of them are in Internet Explorer."},
      {Browser::kFirefox, L"all of them are in Firefox."},
      {Browser::kChrome, L"all of them are in Google Chrome."},
      {Browser::kSafari, L"all of them are in Safari."},
      {Browser::kFlash, L"all of them are in Macromedia Flash."},
  };
  for (const Single& single : kSingles) {
    if (static_cast<long long>(lists.CountFor(single.browser)) == total) {
      return text + single.sentence;
    }
  }
  // The list names Chrome last, unlike every other place.
  static const Single kEntries[] = {
      {Browser::kIE, L"%ls%lld in Internet Explorer"},
      {Browser::kFirefox, L"%ls%lld in Firefox"},
      {Browser::kSafari, L"%ls%lld in Safari"},
      {Browser::kFlash, L"%ls%lld in Adobe Flash"},
      {Browser::kChrome, L"%ls%lld in Google Chrome"},
  };
  const wchar_t* separator = L"";
  for (const Single& entry : kEntries) {
    const auto count = static_cast<long long>(lists.CountFor(entry.browser));
    if (count <= 0) continue;
    wchar_t piece[256];
    std::swprintf(piece, 256, entry.sentence, separator, count);
    text += piece;
    separator = L", ";
  }
  return text + L".";
}

std::wstring FormatLastCleanLine() {
  const uint32_t high = CtrackscrubApp::GetRegDWORD(kValueLastCleanHigh, 0);
  const uint32_t low = CtrackscrubApp::GetRegDWORD(kValueLastCleanLow, 0);
  if (high == 0 && low == 0) return L"\n\nNo cleanup has been performed yet.";
  uint64_t local = 0;
  platform::SystemTime st;
  if (!platform::FileTimeToLocalFileTime(static_cast<uint64_t>(high) << 32 | low, &local) ||
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
