// The settings accessors against the registry: the real one under Wine, the
// in-memory one natively.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "app/settings.h"
#include "model/filter.h"
#include "platform/platform.h"
#include "support/registry_sandbox.h"

namespace {

std::string Dword(uint32_t value) {
  return std::string{static_cast<char>(value), static_cast<char>(value >> 8),
                     static_cast<char>(value >> 16), static_cast<char>(value >> 24)};
}

using Settings = RegistryTest;

}  // namespace

TEST_F(Settings, MissingValuesReadAsTheirDefaults) {
  EXPECT_EQ(CtrackscrubApp::GetRegDWORD(kValueCleanFrequency, 2), 2u);
  EXPECT_EQ(CtrackscrubApp::GetRegString(L"Nothing", L"fallback"), L"fallback");
  EXPECT_EQ(CtrackscrubApp::GetFilter(), DefaultFilterText());
}

TEST_F(Settings, DwordRoundTrip) {
  CtrackscrubApp::SetRegDWORD(kValueCleanPeriod, 86400);
  EXPECT_EQ(CtrackscrubApp::GetRegDWORD(kValueCleanPeriod, 604800), 86400u);
  CtrackscrubApp::SetRegDWORD(BrowserOf(Browser::kIE).switch_name, 0xFFFFFFFFu);
  EXPECT_EQ(CtrackscrubApp::GetRegDWORD(BrowserOf(Browser::kIE).switch_name, 1), 0xFFFFFFFFu);
}

TEST_F(Settings, DwordOfAnotherTypeOrSizeReadsAsDefault) {
  registry_.SetRaw(kValueCleanFrequency, platform::kRegSz, RegistrySandbox::Utf16(L"5", true));
  EXPECT_EQ(CtrackscrubApp::GetRegDWORD(kValueCleanFrequency, 2), 2u);
  registry_.SetRaw(kValueCleanPeriod, platform::kRegBinary, Dword(86400));
  EXPECT_EQ(CtrackscrubApp::GetRegDWORD(kValueCleanPeriod, 604800), 604800u);
  registry_.SetRaw(kValueLastCleanLow, platform::kRegQword, Dword(7) + Dword(0));
  EXPECT_EQ(CtrackscrubApp::GetRegDWORD(kValueLastCleanLow, 0), 0u);
  registry_.SetRaw(kValueLastCleanHigh, platform::kRegDword, std::string("\x01\x02", 2));
  EXPECT_EQ(CtrackscrubApp::GetRegDWORD(kValueLastCleanHigh, 9), 9u);
}

TEST_F(Settings, SwitchesAreOnForAnyNonZeroNumber) {
  for (uint32_t stored : {1u, 2u, 0xFFFFFFFFu}) {
    CtrackscrubApp::SetRegDWORD(BrowserOf(Browser::kIE).switch_name, stored);
    EXPECT_NE(CtrackscrubApp::GetRegDWORD(BrowserOf(Browser::kIE).switch_name, 1), 0u);
  }
  CtrackscrubApp::SetRegDWORD(BrowserOf(Browser::kIE).switch_name, 0);
  EXPECT_EQ(CtrackscrubApp::GetRegDWORD(BrowserOf(Browser::kIE).switch_name, 1), 0u);
}

TEST_F(Settings, StringRoundTripKeepsEveryCharacter) {
  const std::wstring text = L"*.example.com\n*.caf\u00e9.+\n# note";
  CtrackscrubApp::SetRegString(kValueFilter, text.c_str());
  EXPECT_EQ(CtrackscrubApp::GetRegString(kValueFilter, L"default"), text);
}

TEST_F(Settings, StringIsStoredWithItsTerminator) {
  CtrackscrubApp::SetRegString(kValueFilter, L"ab");
  platform::RegKey key;
  ASSERT_EQ(platform::RegKey::Create(kSettingsKey, platform::RegAccess::kRead, &key), 0);
  uint32_t type = 0, size = 0;
  ASSERT_EQ(key.QueryValue(kValueFilter, &type, nullptr, &size), 0);
  EXPECT_EQ(type, platform::kRegSz);
  EXPECT_EQ(size, 6u);
}

TEST_F(Settings, EmptyFilterStringIsEmptyNotTheDefault) {
  CtrackscrubApp::SetRegString(kValueFilter, L"");
  EXPECT_EQ(CtrackscrubApp::GetFilter(), L"");
  EXPECT_TRUE(CCookieFilter(CtrackscrubApp::GetFilter()).patterns().empty());
}

TEST_F(Settings, StringOfOneByteOrOtherTypeReadsAsDefault) {
  registry_.SetRaw(kValueFilter, platform::kRegSz, std::string(1, '\0'));
  EXPECT_EQ(CtrackscrubApp::GetRegString(kValueFilter, L"d"), L"d");
  registry_.SetRaw(kValueFilter, platform::kRegExpandSz, RegistrySandbox::Utf16(L"x", true));
  EXPECT_EQ(CtrackscrubApp::GetRegString(kValueFilter, L"d"), L"d");
  registry_.SetRaw(kValueFilter, platform::kRegMultiSz, RegistrySandbox::Utf16(L"x", true) + '\0' + '\0');
  EXPECT_EQ(CtrackscrubApp::GetFilter(), DefaultFilterText());
}

TEST_F(Settings, UnterminatedStringLosesItsLastCharacter) {
  registry_.SetRaw(kValueFilter, platform::kRegSz, RegistrySandbox::Utf16(L"abc", false));
  EXPECT_EQ(CtrackscrubApp::GetRegString(kValueFilter, L"d"), L"ab");
  // An odd size: the half character at the end is not read either.
  registry_.SetRaw(kValueFilter, platform::kRegSz, RegistrySandbox::Utf16(L"abc", false) + 'x');
  EXPECT_EQ(CtrackscrubApp::GetRegString(kValueFilter, L"d"), L"ab");
}

TEST_F(Settings, NullTextDeletesTheValue) {
  CtrackscrubApp::SetRegString(kValueFilter, L"x");
  CtrackscrubApp::SetRegString(kValueFilter, nullptr);
  EXPECT_EQ(CtrackscrubApp::GetRegString(kValueFilter, L"d"), L"d");
}

TEST_F(Settings, RestoreDefaultsDeletesFilterAndSwitchesOnly) {
  CtrackscrubApp::SetRegString(kValueFilter, L"");
  for (const BrowserInfo& browser : Browsers()) {
    const wchar_t* name = browser.switch_name;
    CtrackscrubApp::SetRegDWORD(name, 0);
  }
  CtrackscrubApp::SetRegDWORD(kValueCleanFrequency, 5);
  CtrackscrubApp::RestoreDefaults();
  EXPECT_EQ(CtrackscrubApp::GetFilter(), DefaultFilterText());
  for (const BrowserInfo& browser : Browsers()) {
    const wchar_t* name = browser.switch_name;
    EXPECT_EQ(CtrackscrubApp::GetRegDWORD(name, 1), 1u) << name;
  }
  EXPECT_EQ(CtrackscrubApp::GetRegDWORD(kValueCleanFrequency, 2), 5u);
}

TEST(DefaultFilter, HasTheFixedShape) {
  const std::wstring& text = DefaultFilterText();
  ASSERT_EQ(text.back(), L'\n');
  int lines = 0, comments = 0, empty = 0;
  std::vector<std::wstring> ad_patterns;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t end = text.find(L'\n', pos);
    const std::wstring line = text.substr(pos, end - pos);
    ++lines;
    if (line.empty()) {
      ++empty;
    } else if (line.rfind(L"# ", 0) == 0) {
      ++comments;
    } else if (lines > 22) {
      ad_patterns.push_back(line);
    }
    EXPECT_EQ(line.find(L'?'), std::wstring::npos);
    pos = end + 1;
  }
  EXPECT_EQ(lines, 107);
  EXPECT_EQ(comments, 3);
  EXPECT_EQ(empty, 6);
  EXPECT_EQ(CCookieFilter(text).patterns().size(), 98u);
  ASSERT_EQ(ad_patterns.size(), 85u);
  EXPECT_TRUE(std::is_sorted(ad_patterns.begin(), ad_patterns.end()));
  int tld[5] = {};  // com, net, de, pl, hu
  const wchar_t* names[5] = {L".com", L".net", L".de", L".pl", L".hu"};
  int plus = 0;
  for (const std::wstring& p : ad_patterns) {
    ASSERT_EQ(p.rfind(L"*.", 0), 0u) << p;
    if (p.size() > 2 && p.substr(p.size() - 2) == L".+") ++plus;
    const size_t dots = std::count(p.begin(), p.end(), L'.');
    if (dots != 2) continue;
    for (int i = 0; i < 5; ++i) {
      const std::wstring suffix = names[i];
      if (p.size() > suffix.size() && p.compare(p.size() - suffix.size(), suffix.size(), suffix) == 0) ++tld[i];
    }
  }
  EXPECT_EQ(tld[0], 62);
  EXPECT_EQ(tld[1], 13);
  EXPECT_EQ(tld[2], 3);
  EXPECT_EQ(tld[3], 2);
  EXPECT_EQ(tld[4], 2);
  EXPECT_EQ(plus, 2);
}

// The measured ranking the list was chosen from (tests/data/tracker-top100.txt, see
// docs/default-filter.md): the default list must keep catching at least this many.
TEST(DefaultFilter, CatchesMostOfTheMeasuredTopTrackers) {
  std::ifstream in(std::string(TS_TEST_DATA_DIR) + "/tracker-top100.txt");
  std::vector<std::string> sites;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line[0] != '#') sites.push_back("." + line);
  }
  ASSERT_EQ(sites.size(), 100u);
  const CCookieFilter filter(DefaultFilterText());
  const struct {
    size_t top;
    int caught;
  } cases[] = {{50, 40}, {100, 79}};
  for (const auto& c : cases) {
    int caught = 0;
    for (size_t i = 0; i < c.top; ++i) caught += filter.Find(std::string_view(sites[i])).has_value();
    EXPECT_GE(caught, c.caught) << "top " << c.top;
  }
}
