// Storage items: expiry wording, display site, copies.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "model/cookie.h"
#include "platform/platform.h"

namespace {

constexpr int64_t kDay = 86400;

std::wstring Words(int64_t seconds) { return CIEUserdata().FormatTimeLeft(seconds); }

// An IE cookie expiring `seconds` from now.
CIECookie IEExpiringIn(int64_t seconds) {
  const uint64_t expiry = platform::GetSystemTimeAsFileTime() +
                          static_cast<uint64_t>(seconds * 10000000);
  CIECookie cookie;
  cookie.m_strExpiresLow = std::to_wstring(static_cast<uint32_t>(expiry));
  cookie.m_strExpiresHigh = std::to_wstring(static_cast<uint32_t>(expiry >> 32));
  return cookie;
}

// The cookie's expiry wording with TZ set to `zone`, as the POSIX seam reads the
// local zone (Windows keeps its own).
std::wstring ExpiresIn(const CCookie& cookie, const char* zone) {
#ifdef _WIN32
  (void)zone;
  return cookie.GetExpires();
#else
  const char* old = std::getenv("TZ");
  const std::string saved = old != nullptr ? old : "";
  setenv("TZ", zone, 1);
  tzset();
  const std::wstring words = cookie.GetExpires();
  old != nullptr ? setenv("TZ", saved.c_str(), 1) : unsetenv("TZ");
  tzset();
  return words;
#endif
}

}  // namespace

TEST(ExpiryWording, Boundaries) {
  const struct {
    int64_t seconds;
    const wchar_t* text;
  } cases[] = {
      {-100 * kDay, L"soon"},     {0, L"soon"},
      {kDay - 1, L"soon"},        {2 * kDay - 1, L"soon"},
      {2 * kDay, L"2 days"},      {31 * kDay, L"31 days"},
      {32 * kDay, L"1 month"},    {62 * kDay, L"1 month"},
      {63 * kDay, L"2 months"},   {365 * kDay, L"11 months"},
      {366 * kDay, L"1 year"},    {730 * kDay, L"1 year"},
      {731 * kDay, L"2 years"},   {3650 * kDay, L"10 years"},
  };
  for (const auto& c : cases) EXPECT_EQ(Words(c.seconds), c.text) << c.seconds;
}

TEST(ExpiryWording, IECookieFromFileTimeHalves) {
  EXPECT_EQ(IEExpiringIn(40 * kDay + 60).GetExpires(), L"1 month");
  EXPECT_EQ(IEExpiringIn(-kDay).GetExpires(), L"soon");
  CIECookie zero;
  zero.m_strExpiresLow = L"0";
  zero.m_strExpiresHigh = L"0";
  EXPECT_EQ(zero.GetExpires(), L"soon");
}

TEST(ExpiryWording, IEHalvesAreUnsigned32Bit) {
  EXPECT_EQ(ParseUnsigned32(L"4294967295"), 4294967295u);
  EXPECT_EQ(ParseUnsigned32(L"2147483648"), 2147483648u);
  EXPECT_EQ(ParseUnsigned32(L"junk"), 0u);
  EXPECT_EQ(ParseUnsigned32(L""), 0u);
  // High half 0x7FFFFFFF: far in the future, not clipped to a smaller number.
  CIECookie far;
  far.m_strExpiresLow = L"4294967295";
  far.m_strExpiresHigh = L"2147483647";
  EXPECT_NE(far.GetExpires().find(L"years"), std::wstring::npos);
}

TEST(ExpiryWording, FirefoxSecondsSince1970) {
  CFirefoxCookie cookie;
  cookie.m_strExpires = std::to_wstring(platform::CurrentCalendarTime() + 10 * kDay + 60);
  EXPECT_EQ(cookie.GetExpires(), L"10 days");
  cookie.m_strExpires = L"not a number";
  EXPECT_EQ(cookie.GetExpires(), L"soon");
  // The ends of the 64-bit range: no overflow, the far past is "soon".
  cookie.m_strExpires = L"-9223372036854775807";
  EXPECT_EQ(cookie.GetExpires(), L"soon");
  cookie.m_strExpires = L"9223372036854775807";
  EXPECT_NE(cookie.GetExpires().find(L"years"), std::wstring::npos);
}

TEST(ExpiryWording, ChromeMicrosecondsSince1601) {
  CChromeCookie cookie;
  const uint64_t in_400_days = platform::GetSystemTimeAsFileTime() / 10 + 400ULL * kDay * 1000000;
  cookie.m_strExpires = std::to_wstring(in_400_days);
  EXPECT_EQ(cookie.GetExpires(), L"1 year");
  cookie.m_strExpires = std::to_wstring(platform::GetSystemTimeAsFileTime() / 10 - kDay * 1000000);
  EXPECT_EQ(cookie.GetExpires(), L"soon");
  // Far outside the calendar: a short text, and no failure.
  cookie.m_strExpires = L"9223372036854775807";
  EXPECT_FALSE(cookie.GetExpires().empty());
  // Expiry 0, the calendar's first moment, is "soon" on either side of UTC.
  cookie.m_strExpires = L"0";
  for (const char* zone : {"UTC0", "EST5EDT", "JST-9"}) EXPECT_EQ(ExpiresIn(cookie, zone), L"soon") << zone;
}

TEST(ExpiryWording, SafariDateText) {
  CSafariCookie cookie;
  cookie.m_strExpires = L"2010-05-12T13:45:12Z";
  EXPECT_EQ(cookie.GetExpires(), L"soon");
  cookie.m_strExpires = L"2999-05-12T13:45:12Z";
  EXPECT_NE(cookie.GetExpires().find(L"years"), std::wstring::npos);
  // A month of 13 leaves the expiry at the current time.
  cookie.m_strExpires = L"2999-13-12T13:45:12Z";
  EXPECT_EQ(cookie.GetExpiryTime() / 100, platform::CurrentCalendarTime() / 100);
  // A year before 1900 is time 0; a short text reads its missing numbers as 0.
  cookie.m_strExpires = L"1800-05-12T13:45:12Z";
  EXPECT_EQ(cookie.GetExpiryTime(), 0);
  cookie.m_strExpires = L"2010";
  EXPECT_EQ(cookie.GetExpiryTime() / 100, platform::CurrentCalendarTime() / 100);
}

TEST(ExpiryWording, StorageItemsAreUnknown) {
  EXPECT_EQ(CIEUserdata().GetExpires(), L"Unknown");
  EXPECT_EQ(CFlashCookie().GetExpires(), L"Unknown");
  EXPECT_EQ(CSafariUserdata().GetExpires(), L"Unknown");
}

TEST(DisplaySite, DropsLeadingPeriodsOnly) {
  CIECookie cookie;
  const struct {
    const wchar_t* site;
    const wchar_t* shown;
  } cases[] = {
      {L".example.com/path.x", L"example.com/path.x"},
      {L"..two.com", L"two.com"},
      {L"...", L""},
      {L"", L""},
      {L"host.com.", L"host.com."},
  };
  for (const auto& c : cases) {
    cookie.m_strSite = c.site;
    EXPECT_EQ(cookie.GetDisplaySite(), c.shown) << c.site;
    EXPECT_EQ(cookie.GetSite(), c.site);
  }
}

TEST(Items, CopyInAListIsIndependent) {
  CIECookie original;
  original.m_strName = L"id";
  original.m_strExpiresHigh = L"1";
  CIECookieArray list;
  list.push_back(original);
  original.m_strName = L"changed";
  original.m_strExpiresHigh = L"2";
  EXPECT_EQ(list[0].m_strName, L"id");
  EXPECT_EQ(list[0].m_strExpiresHigh, L"1");
}
