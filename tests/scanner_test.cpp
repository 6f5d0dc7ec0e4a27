// The scan and clean sequences: order, switches, counts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/settings.h"
#include "scan/scanner.h"
#include "support/registry_sandbox.h"
#include "support/temp_tree.h"

namespace {

std::string Record(const std::string& site) {
  return "n\nv\n" + site + "\n0\n0\n0\n0\n0\n*\n";
}

class Sequences : public RegistryTest {
 protected:
  void SetUp() override {
    CtrackscrubApp::SetRegString(kValueFilter, L"*.tracker.com");
    profile_.Write(std::string(TempProfile::kCookies) + "/a.txt",
                   Record("tracker.com/") + Record("x.tracker.com/") + Record("ok.example/"));
  }
  TempProfile profile_;
};

void SwitchAll(uint32_t value) {
  for (const BrowserInfo& browser : Browsers()) CtrackscrubApp::SetRegDWORD(browser.switch_name, value);
}

}  // namespace

TEST_F(Sequences, ScanFillsTheListsOfEnabledBrowsers) {
  CScanLists lists;
  RunScanSequence(CCookieFilter(CtrackscrubApp::GetFilter()), &lists, CtrackscrubApp::IsBrowserEnabled);
  EXPECT_EQ(lists.ie_cookies.size(), 2u);
  EXPECT_EQ(lists.CountFor(Browser::kIE), 2u);
  EXPECT_EQ(lists.Total(), 2u);
}

TEST_F(Sequences, ProgressIsToldBeforeEachStoreWithTheItemsSoFar) {
  const CCookieFilter filter(CtrackscrubApp::GetFilter());
  size_t stores = 0;
  for (const BrowserInfo& browser : Browsers()) stores += browser.stores.size();
  for (const bool clean : {false, true}) {  // the scan first: the clean removes
    std::vector<SequenceProgress> told;
    const ProgressSink sink = [&told](const SequenceProgress& at) { told.push_back(at); };
    CScanLists lists;
    if (!clean) RunScanSequence(filter, &lists, CtrackscrubApp::IsBrowserEnabled, sink);
    if (clean) RunCleanSequence(filter, CtrackscrubApp::IsBrowserEnabled, nullptr, nullptr, sink);
    ASSERT_EQ(told.size(), stores);
    EXPECT_TRUE(told[0].browser == Browser::kIE && told[0].store == std::string("cookies") &&
                told[0].items == 0u && told[1].store == std::string("storage") &&
                told[1].items == 2u && told.back().items == 2u)
        << clean;
  }
}

TEST_F(Sequences, SwitchedOffBrowserStaysEmptyAndUntouched) {
  CtrackscrubApp::SetRegDWORD(BrowserOf(Browser::kIE).switch_name, 0);
  CScanLists lists;
  RunScanSequence(CCookieFilter(CtrackscrubApp::GetFilter()), &lists, CtrackscrubApp::IsBrowserEnabled);
  EXPECT_EQ(lists.Total(), 0u);
  EXPECT_EQ(RunCleanSequence(CCookieFilter(CtrackscrubApp::GetFilter()), CtrackscrubApp::IsBrowserEnabled), 0);
  EXPECT_TRUE(profile_.Exists(std::string(TempProfile::kCookies) + "/a.txt"));
  CtrackscrubApp::SetRegDWORD(BrowserOf(Browser::kIE).switch_name, 7);
  EXPECT_EQ(RunCleanSequence(CCookieFilter(CtrackscrubApp::GetFilter()), CtrackscrubApp::IsBrowserEnabled), 2);
}

TEST_F(Sequences, AllSwitchesOffGiveNothing) {
  SwitchAll(0);
  CScanLists lists;
  RunScanSequence(CCookieFilter(CtrackscrubApp::GetFilter()), &lists, CtrackscrubApp::IsBrowserEnabled);
  EXPECT_EQ(lists.Total(), 0u);
  EXPECT_EQ(RunCleanSequence(CCookieFilter(CtrackscrubApp::GetFilter()), CtrackscrubApp::IsBrowserEnabled), 0);
}

TEST_F(Sequences, GatesAreAskedInTheFixedOrder) {
  std::vector<Browser> asked;
  CScanLists lists;
  RunScanSequence(CCookieFilter(CtrackscrubApp::GetFilter()), &lists, [&](Browser b) {
    asked.push_back(b);
    return true;
  });
  EXPECT_EQ(asked, (std::vector<Browser>{Browser::kIE, Browser::kFirefox, Browser::kChrome,
                                         Browser::kSafari, Browser::kFlash, Browser::kEdge,
                                         Browser::kBrave, Browser::kVivaldi, Browser::kOpera,
                                         Browser::kChromium}));

  std::vector<Browser> confirmed;
  RunCleanSequence(CCookieFilter(CtrackscrubApp::GetFilter()), CtrackscrubApp::IsBrowserEnabled, [&](Browser b) {
    confirmed.push_back(b);
    return b != Browser::kIE;  // the user keeps the running browser's cookies
  });
  EXPECT_EQ(confirmed, (std::vector<Browser>{Browser::kIE, Browser::kFirefox, Browser::kChrome,
                                             Browser::kSafari, Browser::kEdge, Browser::kBrave,
                                             Browser::kVivaldi, Browser::kOpera,
                                             Browser::kChromium}));
  EXPECT_TRUE(profile_.Exists(std::string(TempProfile::kCookies) + "/a.txt"));
}

TEST_F(Sequences, ItemWrittenAfterAScanIsCleanedAndCounted) {
  CScanLists lists;
  RunScanSequence(CCookieFilter(CtrackscrubApp::GetFilter()), &lists, CtrackscrubApp::IsBrowserEnabled);
  profile_.Write(std::string(TempProfile::kCookies) + "/b.txt", Record("late.tracker.com/"));
  EXPECT_EQ(RunCleanSequence(CCookieFilter(CtrackscrubApp::GetFilter()), CtrackscrubApp::IsBrowserEnabled), 3);
}
