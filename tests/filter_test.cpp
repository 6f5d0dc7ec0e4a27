// The site filter's wildcard rules, and their cost.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <optional>
#include <random>
#include <tuple>
#include <utility>
#include <vector>

#include "app/settings.h"
#include "model/filter.h"
#include "support/reference_match.h"

namespace {

CIECookie Item(const wchar_t* site) {
  CIECookie cookie;
  cookie.m_strSite = site;
  return cookie;
}

}  // namespace

TEST(FilterMatch, Cases) {
  const struct {
    const wchar_t* site;
    const wchar_t* pattern;
    bool match;
  } cases[] = {
      {L".ads.example.com", L"*.example.com", true},
      {L".example.com", L"*.example.com", true},
      {L".otherexample.com", L"*.example.com", false},
      {L".example.com", L"*.example.+", true},
      {L".host.example.de", L"*.example.+", true},
      {L".example.co.uk", L"*.example.+", false},
      {L".example.co.uk", L"*.example.co.+", true},
      {L".example.com.au", L"*.example.com.+", true},
      {L".example.com", L".example.com", true},
      {L".www.example.com", L".example.com", false},
      {L".example.com", L"example.com", false},
      {L".example.com", L"+.example.com", true},
      {L".example.com", L"*.example.co?", true},
      {L".example.com", L"*example?com", true},
      {L".example.com", L"*.EXAMPLE.com", false},
      {L".example.com", L"**.example.com", true},
      {L".example.com", L"*.++.com", true},
      {L".example.com", L"*+x", false},   // "+" followed by a letter never matches
      {L".example.com", L"*+", true},
      {L".example.", L"*+", false},      // a rest ending in a period
      {L".a", L"*", true},
      {L"", L"*", true},
      {L".example.com", L"*.example.com\r", false},
      {L".example.com", L"", false},
      {L"", L"", true},
      {L".a", L"*?", true},
      {L".a", L"*.a*", true},
      {L".a", L"?*a", true},
      {L"ab", L"*b*", true},
      {L"ab", L"*?b", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CCookieFilter::Match(c.site, c.pattern), c.match) << c.site << " ~ " << c.pattern;
    EXPECT_EQ(ReferenceMatch(c.site, c.pattern), c.match) << c.site << " ~ " << c.pattern;
  }
}

TEST(FilterMatch, StarRestIsNotTriedAgainstTheEmptyEnd) {
  // "+" could only match the empty end after the final period.
  EXPECT_FALSE(CCookieFilter::Match(L".a.", L"*+"));
  EXPECT_TRUE(CCookieFilter::Match(L".a.", L"*.+"));
}

TEST(FilterMatch, AgreesWithTheRecursiveRulesOnRandomInput) {
  std::mt19937 random(12345);
  const wchar_t site_chars[] = L"ab.";
  const wchar_t pattern_chars[] = L"ab.*+?";
  for (int round = 0; round < 200000; ++round) {
    std::wstring site, pattern;
    const int site_len = static_cast<int>(random() % 9);
    const int pattern_len = static_cast<int>(random() % 8);
    for (int i = 0; i < site_len; ++i) site += site_chars[random() % 3];
    for (int i = 0; i < pattern_len; ++i) pattern += pattern_chars[random() % 6];
    ASSERT_EQ(CCookieFilter::Match(site.c_str(), pattern.c_str()),
              ReferenceMatch(site.c_str(), pattern.c_str()))
        << "site '" << site << "' pattern '" << pattern << "'";
  }
}

TEST(FilterMatch, ManyStarsStayCheap) {
  // A backtracking matcher takes many seconds here; the bounded one a few
  // microseconds. Every call must still give the recursive rules' answer.
  const std::wstring site(80, L'a');
  EXPECT_FALSE(CCookieFilter::Match(site.c_str(), L"*a*a*a*a*a*a*b"));
  EXPECT_FALSE(CCookieFilter::Match(site.c_str(), L"*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*b"));
  EXPECT_TRUE(CCookieFilter::Match((site + L"b").c_str(), L"*a*a*a*a*a*a*b"));
}

TEST(FilterList, LinesCommentsAndCarriageReturns) {
  const CCookieFilter filter(L"# comment\n\n*.a.com\n #x\n*.b.com\r\n*.c.com");
  ASSERT_EQ(filter.patterns().size(), 4u);
  EXPECT_EQ(filter.patterns()[0], L"*.a.com");
  EXPECT_EQ(filter.patterns()[1], L" #x");
  EXPECT_EQ(filter.patterns()[2], L"*.b.com\r");
  EXPECT_EQ(filter.patterns()[3], L"*.c.com");
}

using namespace std::string_literals;

TEST(FilterList, APatternIsTheWholeLineAndLinesThatWouldMatchOtherThanTheyShowAreIgnored) {
  using Reason = CCookieFilter::IgnoredLine::Reason;
  const std::wstring bom = L"\u00EF\u00BB\u00BF";  // EF BB BF read one byte per character
  const struct {
    std::wstring text;
    std::vector<std::wstring> patterns;
    std::vector<std::pair<size_t, Reason>> ignored;
  } cases[] = {
      {L"*\0.doubleclick.net\n*.a.com"s, {L"*.a.com"}, {{1, Reason::kNul}}},
      {L"\0\n#\0\n"s, {}, {{1, Reason::kNul}}},
      {bom + L"*.a.com\n" + bom + L"\n" + bom + L"*.b.com", {L"*.a.com", bom + L"*.b.com"},
       {{2, Reason::kByteOrderMark}}},
      {L"\uFEFF#comment\n\uFEFF\n\uFEFF\uFEFF", {L"\uFEFF\uFEFF"}, {{2, Reason::kByteOrderMark}}},
      {bom + bom, {}, {{1, Reason::kByteOrderMark}}},
      {bom, {}, {}},
      {L"", {}, {}},
  };
  for (const auto& c : cases) {
    const CCookieFilter filter(c.text);
    EXPECT_EQ(filter.patterns(), c.patterns);
    std::vector<std::pair<size_t, Reason>> ignored;
    for (const auto& line : filter.ignored()) ignored.emplace_back(line.line, line.reason);
    EXPECT_EQ(ignored, c.ignored);
  }
  // The site is whole too: a NUL in it is matched, not taken for its end.
  CIECookie nul_site;
  nul_site.m_strSite = L".a.com\0x"s;
  EXPECT_FALSE(CCookieFilter(L".a.com").IsEvil(nul_site));
}

TEST(FilterIsEvil, SiteIsCutAtTheSlashAndGivenAPeriod) {
  const std::wstring three = L"*.example.com\n.exact.com\n*.b.com\r\n", defaults = CtrackscrubApp::GetFilter();
  const struct {
    std::wstring filter;
    const wchar_t* site;
    bool evil;
  } cases[] = {
      {three, L"ads.example.com/path", true},  {three, L".example.com/", true},
      {three, L"exact.com/x", true},           {three, L".exact.com", true},
      {three, L"www.exact.com/", false},       {three, L"/ads.example.com", false},
      {three, L"", false},                     {three, L"x.b.com", false},  // the pattern ends in a CR
      {three, L"ADS.EXAMPLE.COM/", false},     {L"", L".example.com", false},
      {L"*", L"a/", true},                     {L"*", L"/a", false},  // a character before the slash
      {defaults, L"ad.doubleclick.net/", true}, {defaults, L".yahoo.co.uk/", true},
      {defaults, L"www.yahoo.com/", true},     {defaults, L"www.wikipedia.org/", false},
      {defaults, L"mybank.example/", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.site << " with " << c.filter.substr(0, 20));
    CIECookie item = Item(c.site);
    EXPECT_EQ(CCookieFilter(c.filter).IsEvil(item), c.evil);
  }
}

TEST(FilterIndex, AgreesWithTheFirstMatchingPatternOnRandomSitesAndPatterns) {
  std::mt19937 random(20261209);
  const auto pick = [&random](std::initializer_list<const wchar_t*> from) {
    return from.begin()[random() % from.size()];
  };
  // Few labels, so that patterns and sites meet often and patterns repeat.
  const auto name = [&](std::wstring* text, size_t most) {
    *text += pick({L"a", L"z", L"A", L"Z", L"\u00E9", L"\u0161"});
    for (size_t n = random() % most; n > 0; --n) *text += pick({L".a", L".z", L".Z"});
  };
  // Sites drawn from a pool made once, each with its reading as the filter takes it
  // (cut at "/", with a leading period) and as bytes (each character's low byte).
  std::vector<std::tuple<std::wstring, std::wstring, std::string>> sites(4000);
  for (auto& [site, normal, bytes] : sites) {
    site = pick({L"", L".", L"", L"", L"/"});
    name(&site, 4);
    site += pick({L"", L"", L"/p", L"./x"});
    normal = site.substr(0, site.find(L'/'));
    if (!normal.empty() && normal[0] != L'.') normal.insert(0, L".");
    bytes.assign(site.begin(), site.end());
  }
  for (int round = 0; round < 1000; ++round) {
    std::vector<std::wstring> patterns;
    std::wstring text;
    for (size_t n = random() % 12; n > 0; --n) {
      std::wstring& pattern = patterns.emplace_back(L"*.");
      name(&pattern, 3);
      for (size_t edits = 1 + random() % 2; edits > 0; --edits) {
        const size_t at = 1 + random() % (pattern.size() - 1);
        switch (random() % 6) {
          case 0: pattern[at] = L'?'; break;
          case 1: pattern.insert(at, pick({L"*", L"+", L"*?"})); break;
          case 2: pattern += pick({L".+", L"*", L"*z"}); break;
          case 3: pattern.erase(0, 1); break;  // an exact site
        }
      }
      text += pattern + L"\n";
    }
    const CCookieFilter filter(text);
    for (int i = 0; i < 100; ++i) {
      const auto& [site, normal, bytes] = sites[random() % sites.size()];
      std::optional<CCookieFilter::Rule> plain;  // the first pattern that matches
      for (size_t p = 0; p < patterns.size() && !plain && !normal.empty(); ++p) {
        if (CCookieFilter::Match(normal, patterns[p])) plain = CCookieFilter::Rule{-1, p};
      }
      const auto rule = filter.Find(std::wstring_view(site));
      ASSERT_EQ(rule, plain) << site << " in\n" << text;
      if (site.find(L'\u0161') != std::wstring::npos) continue;  // not a byte
      ASSERT_EQ(filter.Find(std::string_view(bytes)), rule) << site;
    }
  }
}

TEST(FilterIndex, ListsAndTheKeepListDecideByDomainAndNameTheRule) {
  std::vector<CTrackerList> lists;
  lists.emplace_back(L"A", "tracker.example\nshared.example\nsub.tracker.example\n");
  lists.emplace_back(L"B", "Shared.example\nother.example\nb-only.example\n");
  const CCookieFilter filter(L"*.pat.example\n*.other.example\n", std::move(lists),
                             CTrackerList(L"keep", "kept.tracker.example\nsafe.pat.example\n"));
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {  // site, rule (none: not evil)
      {L"tracker.example", L"A: tracker.example"}, {L"a.tracker.example/p", L"A: tracker.example"},
      {L"TRACKER.Example", L"A: tracker.example"}, {L"nottracker.example", L""},
      {L"tracker.example.x", L""},                 {L".SHARED.example", L"A: shared.example"},
      {L"other.example", L"*.other.example"},      {L"x.b-only.example", L"B: b-only.example"},
      {L"x.pat.example", L"*.pat.example"},        {L"in.kept.tracker.example", L""},
      {L"safe.pat.example", L""},                  {L"\u0174racker.example", L""},
      {L"x.sub.tracker.example", L"A: sub.tracker.example"},
  };
  std::map<std::wstring, const std::wstring*> texts;  // the items of one rule share its text
  for (const auto& [site, rule] : cases) {
    CIECookie item = Item(site);
    EXPECT_EQ(filter.IsEvil(item), *rule != L'\0') << site;
    EXPECT_EQ(item.GetRule(), rule) << site;
    if (item.m_pRule) {
      EXPECT_EQ(texts.emplace(rule, item.m_pRule.get()).first->second, item.m_pRule.get());
    }
  }
}
