#include "model/cookie.h"

#include <cwchar>
#include <cwctype>
#include <limits>

#include "text/local_time.h"
#include "platform/platform.h"
#include "text/textfile.h"

namespace {

// A display site followed by what the item lives in (a profile, a container, a
// partition) in parentheses, when there is any.
std::wstring WithContext(const std::wstring& site, const std::wstring& context) {
  return context.empty() ? site : site + L" (" + context + L")";
}

constexpr int64_t kSecondsPerDay = 86400;
constexpr int64_t kFileTimeTicksPerSecond = 10000000;

std::wstring Format(const wchar_t* format, int64_t number) {
  wchar_t text[64];
  std::swprintf(text, 64, format, static_cast<long long>(number));
  return text;
}

size_t SkipBlanks(const std::wstring& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == L' ' || text[i] == L'\t')) ++i;
  return i;
}

}  // namespace

uint32_t ParseUnsigned32(const std::wstring& text) {
  size_t i = SkipBlanks(text);
  uint64_t number = 0;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    number = number * 10 + static_cast<uint64_t>(text[i] - L'0');
    if (number > 0xFFFFFFFFu) return 0xFFFFFFFFu;
  }
  return static_cast<uint32_t>(number);
}

int64_t ParseInt64(const std::wstring& text) {
  size_t i = SkipBlanks(text);
  bool negative = false;
  if (i < text.size() && (text[i] == L'-' || text[i] == L'+')) negative = text[i++] == L'-';
  uint64_t number = 0;
  const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    number = number * 10 + static_cast<uint64_t>(text[i] - L'0');
    if (number > limit) {
      number = limit;
      for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
      }
      break;
    }
  }
  if (negative) return number == uint64_t{1} << 63 ? std::numeric_limits<int64_t>::min()
                                                    : -static_cast<int64_t>(number);
  return static_cast<int64_t>(number);
}

// ---- CCookie

const std::wstring& CCookie::GetRule() const {
  static const std::wstring none;
  return m_pRule ? *m_pRule : none;
}

std::wstring CCookie::FormatTimeLeft(const int64_t& span_seconds) const {
  const int64_t days = span_seconds / kSecondsPerDay;
  if (days <= 1) return L"soon";
  if (days <= 31) return Format(L"%lld days", days);
  if (days <= 62) return Format(L"%lld month", 1);
  if (days <= 365) return Format(L"%lld months", days / 31);
  if (days <= 730) return Format(L"%lld year", 1);
  return Format(L"%lld years", days / 365);
}

std::wstring CCookie::GetDisplaySite() const {
  const size_t first = m_strSite.find_first_not_of(L'.');
  return first == std::wstring::npos ? std::wstring() : m_strSite.substr(first);
}

// ---- CIECookie

bool CIECookie::ReadFrom(CStdioFile& file) {
  for (std::wstring* field : Fields()) {
    if (!file.ReadString(*field)) return false;
  }
  std::wstring end;
  return file.ReadString(end) && end == L"*";
}

bool CIECookie::WriteTo(CFile& file) {
  std::wstring record;
  for (const std::wstring* field : Fields()) {
    record += *field;
    record += L'\n';
  }
  record += L"*\n";
  file.Write(BytesFromWide(record));
  return true;
}

std::wstring CIECookie::GetExpires() const {
  const uint64_t expiry =
      static_cast<uint64_t>(ParseUnsigned32(m_strExpiresHigh)) << 32 | ParseUnsigned32(m_strExpiresLow);
  const uint64_t now = platform::GetSystemTimeAsFileTime();
  return FormatTimeLeft(static_cast<int64_t>(expiry - now) / kFileTimeTicksPerSecond);
}

// ---- CFirefoxCookie

std::wstring CFirefoxCookie::GetDisplaySite() const {
  return WithContext(CCookie::GetDisplaySite(), m_strContext);
}

std::wstring CFirefoxCookie::GetExpires() const {
  // Any 64-bit number may stand in the file: a span beyond the 64-bit range is held at
  // its end ("soon" for the far past, the most years for the far future).
  const int64_t expiry = ParseInt64(m_strExpires);
  int64_t span = 0;
  if (__builtin_sub_overflow(expiry, platform::CurrentCalendarTime(), &span)) {
    span = expiry < 0 ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
  }
  return FormatTimeLeft(span);
}

// ---- CChromiumCookie

std::wstring CChromiumCookie::GetDisplaySite() const {
  std::wstring context = m_strProfile;
  if (!m_strPartition.empty()) {
    if (!context.empty()) context += L", ";
    context += L"partition " + m_strPartition;
  }
  return WithContext(CCookie::GetDisplaySite(), context);
}

std::wstring CChromiumStorageItem::GetDisplaySite() const {
  return WithContext(CCookie::GetDisplaySite(), m_strProfile);
}

std::wstring CFirefoxSiteStorage::GetDisplaySite() const {
  return WithContext(CCookie::GetDisplaySite(), m_strContext);
}

// ---- CChromeCookie

std::wstring CChromeCookie::GetExpires() const {
  const uint64_t expiry_filetime = static_cast<uint64_t>(ParseInt64(m_strExpires)) * 10;
  int64_t expiry = 0;
  int64_t now = 0;
  if (!CalendarTimeFromFileTime(expiry_filetime, &expiry) ||
      !CalendarTimeFromFileTime(platform::GetSystemTimeAsFileTime(), &now)) {
    return kExpiresUnknown;
  }
  return FormatTimeLeft(expiry - now);
}

// ---- CSafariCookie

int64_t CSafariCookie::GetExpiryTime() const {
  const int64_t now = platform::CurrentCalendarTime();
  // Fixed positions of "2010-05-12T13:45:12Z"; the characters are not checked.
  const auto number = [this](size_t first, size_t last) -> int {
    if (last >= m_strExpires.size()) return 0;
    uint32_t value = 0;
    for (size_t i = first; i <= last; ++i) {
      value = value * 10 + static_cast<uint32_t>(m_strExpires[i]) - L'0';
    }
    return static_cast<uint16_t>(value);  // held in a 16-bit SYSTEMTIME field
  };
  platform::SystemTime st;
  st.year = number(0, 3);
  st.month = number(5, 6);
  st.day = number(8, 9);
  st.hour = number(11, 12);
  st.minute = number(14, 15);
  st.second = number(17, 18);
  if (st.year < 1900) return 0;
  if (st.month < 1 || st.month > 12 || st.day < 1 || st.day > 31 || st.hour > 23 ||
      st.minute > 59 || st.second > 59) {
    return now;
  }
  const int64_t expiry = platform::MakeCalendarTime(st);
  return expiry == -1 ? now : expiry;
}

std::wstring CSafariCookie::GetExpires() const {
  return FormatTimeLeft(GetExpiryTime() - platform::CurrentCalendarTime());
}

// ---- CFirefoxCookie records: Netscape cookie lines

bool CFirefoxCookie::ReadFrom(CStdioFile& file) {
  static const std::wstring kHttpOnly = L"#HttpOnly_";
  m_strPrefix.clear();
  std::wstring line;
  for (;;) {
    if (!file.ReadString(line)) return false;
    if (line.size() >= kHttpOnly.size()) {
      bool marker = true;
      for (size_t i = 0; i < kHttpOnly.size() && marker; ++i) {
        marker = std::towlower(line[i]) == std::towlower(kHttpOnly[i]);
      }
      if (marker) {
        m_strPrefix = line.substr(0, kHttpOnly.size());
        line.erase(0, kHttpOnly.size());
        break;
      }
    }
    if (!line.empty() && line[0] != L'#') break;
  }
  std::vector<std::wstring> fields;
  size_t pos = 0;
  for (;;) {
    const size_t tab = line.find(L'\t', pos);
    fields.push_back(line.substr(pos, tab == std::wstring::npos ? std::wstring::npos : tab - pos));
    if (tab == std::wstring::npos) break;
    pos = tab + 1;
  }
  if (fields.size() != 7) return false;
  m_strDomain = fields[0];
  m_strDomainFlag = fields[1];
  m_strPath = fields[2];
  m_strSecure = fields[3];
  m_strExpires = fields[4];
  m_strName = fields[5];
  m_strValue = fields[6];
  m_strSite = m_strDomain + m_strPath;
  return true;
}

bool CFirefoxCookie::WriteTo(CFile& file) {
  if (m_strDomainFlag.empty()) return false;
  file.Write(BytesFromWide(m_strPrefix + m_strDomain + L'\t' + m_strDomainFlag + L'\t' +
                           m_strPath + L'\t' + m_strSecure + L'\t' + m_strExpires + L'\t' +
                           m_strName + L'\t' + m_strValue + L'\n'));
  return true;
}

// ---- CSafariCookie records: one dict entry of the cookie plist

bool CSafariCookie::WriteTo(CFile& file) {
  file.Write(m_strRawEntry);
  return true;
}
