// The wording of what a scan found and a clean removed.
#include <gtest/gtest.h>

#include "app/settings.h"
#include "scan/summary.h"
#include "support/registry_sandbox.h"

namespace {

template <typename Array>
void Add(Array& list, size_t n) {
  list.resize(list.size() + n);
}

using Wording = RegistryTest;

}  // namespace

TEST(FoundSentence, NothingFound) {
  EXPECT_EQ(FormatFoundSentence(CScanLists()), L"No evil cookies have been found on your computer.");
}

TEST(FoundSentence, OneBrowserHoldsEverything) {
  CScanLists lists;
  Add(lists.ie_cookies, 2);
  Add(lists.ie_userdata, 1);
  EXPECT_EQ(FormatFoundSentence(lists),
            L"3 potentially evil cookies have been found on your computer: all of them are in "
            L"Internet Explorer.");
  CScanLists flash;
  Add(flash.flash_cookies, 4);
  EXPECT_EQ(FormatFoundSentence(flash),
            L"4 potentially evil cookies have been found on your computer: all of them are in "
            L"Macromedia Flash.");
}

TEST(FoundSentence, ListNamesChromeLast) {
  CScanLists lists;
  Add(lists.ie_cookies, 2);
  Add(lists.firefox_userdata, 5);
  Add(lists.chrome_cookies, 1);
  EXPECT_EQ(FormatFoundSentence(lists),
            L"8 potentially evil cookies have been found on your computer: 2 in Internet "
            L"Explorer, 5 in Firefox, 1 in Google Chrome.");
  Add(lists.flash_cookies, 3);
  Add(lists.safari_cookies, 1);
  EXPECT_EQ(FormatFoundSentence(lists),
            L"12 potentially evil cookies have been found on your computer: 2 in Internet "
            L"Explorer, 5 in Firefox, 1 in Safari, 3 in Adobe Flash, 1 in Google Chrome.");
}

TEST(CleanResult, CountOrNone) {
  EXPECT_EQ(FormatCleanResult(0), L"No cookies have been removed.");
  EXPECT_EQ(FormatCleanResult(1), L"1 cookies have been cleaned.");
  EXPECT_EQ(FormatCleanResult(42), L"42 cookies have been cleaned.");
}

TEST_F(Wording, LastCleanLine) {
  EXPECT_EQ(FormatLastCleanLine(CtrackscrubApp::GetLastClean()), L"\n\nNo cleanup has been performed yet.");
  CtrackscrubApp::RecordClean();
  const std::wstring line = FormatLastCleanLine(CtrackscrubApp::GetLastClean());
  EXPECT_EQ(line.rfind(L"\n\nA cleanup was last performed at: ", 0), 0u) << line;
  // "%A, %Y-%b-%d %H:%M": an English day name, then the date.
  EXPECT_NE(line.find(L"day, 20"), std::wstring::npos) << line;
}

TEST(SkippedSentences, OneForEachBrowserAndReasonInTheTablesOrder) {
  const auto held = [](Browser browser, HeldReason reason) {
    return HeldBrowserStore{browser, HeldStore{L"Default", L"C:\\x\\Cookies", reason}};
  };
  const struct {
    const char* what;
    std::vector<HeldBrowserStore> held;
    std::vector<std::wstring> sentences;
  } cases[] = {
      {"nothing skipped", {}, {}},
      {"two databases of one running browser, then one of a browser before it",
       {held(Browser::kEdge, HeldReason::kInUse), held(Browser::kEdge, HeldReason::kInUse),
        held(Browser::kFirefox, HeldReason::kInUse)},
       {L"Firefox is running; close it to clean its cookies.",
        L"Microsoft Edge is running; close it to clean its cookies."}},
      {"two reasons of one browser",
       {held(Browser::kBrave, HeldReason::kDamaged), held(Browser::kBrave, HeldReason::kInUse)},
       {L"A database of Brave is damaged; it is left as it is.",
        L"Brave is running; close it to clean its cookies."}},
      {"no reason is nothing to say", {held(Browser::kOpera, HeldReason::kNone)}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(HeldSentences(c.held), c.sentences);
  }
}
