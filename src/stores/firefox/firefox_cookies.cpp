// Firefox cookies: "cookies.txt" and "cookies.sqlite" of every profile.
#include <cstdint>
#include <string>
#include <vector>

#include "stores/firefox/firefox.h"
#include "stores/sqlite/database_step.h"
#include "stores/stores.h"
#include "text/textfile.h"

namespace {

using sqlite_access::Row;

// ---- cookies.txt

// The line of a record as CFirefoxCookie::WriteTo writes it, also for a record whose
// second field is empty (which WriteTo refuses).
std::string RecordLine(const CFirefoxCookie& cookie) {
  return BytesFromWide(cookie.m_strPrefix + cookie.m_strDomain + L'\t' + cookie.m_strDomainFlag +
                       L'\t' + cookie.m_strPath + L'\t' + cookie.m_strSecure + L'\t' +
                       cookie.m_strExpires + L'\t' + cookie.m_strName + L'\t' +
                       cookie.m_strValue + L'\n');
}

bool StartsWithHttpOnly(const std::string& line) {
  static const char kHttpOnly[] = "#httponly_";
  if (line.size() < sizeof kHttpOnly - 1) return false;
  for (size_t i = 0; i < sizeof kHttpOnly - 1; ++i) {
    char c = line[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kHttpOnly[i]) return false;
  }
  return true;
}

// True when the raw bytes hold only lines that the reader skips (empty lines and
// comments): what remains after the last record of a file that ended normally.
// Anything else is a line that is not a record, and the reading stopped there.
bool OnlySkippedLines(const std::string& raw) {
  size_t pos = 0;
  while (pos < raw.size()) {
    size_t end = raw.find('\n', pos);
    if (end == std::string::npos) end = raw.size();
    std::string line = raw.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    if (line[0] == '#' && !StartsWithHttpOnly(line)) continue;
    return false;
  }
  return true;
}

// ---- cookies.sqlite

// moz_cookies.expiry counts milliseconds from this schema version on (Firefox 142),
// seconds before.
constexpr int kExpiryInMillisecondsFrom = 16;

// Columns of the SELECT below; originAttributes only where the table has it.
enum CookieColumn { kId, kName, kValue, kHost, kExpiry, kPath, kOriginAttributes };

// Whole seconds of a millisecond count given as decimal text, rounded down.
std::wstring SecondsOfMilliseconds(const std::wstring& text) {
  const int64_t ms = ParseInt64(text);
  int64_t seconds = ms / 1000;
  if (ms % 1000 < 0) --seconds;
  return std::to_wstring(seconds);
}

std::vector<sqlite_access::StoreTable<CFirefoxCookie>> CookieTables(sqlite_access::Database& db) {
  bool origin_attributes = false;
  for (const std::string& column : db.Columns("moz_cookies")) {
    origin_attributes = origin_attributes || column == "originAttributes";
  }
  const bool milliseconds = db.UserVersion() >= kExpiryInMillisecondsFrom;
  std::string select = "SELECT id, name, value, host, expiry, path";
  if (origin_attributes) select += ", originAttributes";
  select += " FROM moz_cookies";
  return {{select, origin_attributes ? 7 : 6,
           [origin_attributes, milliseconds](const Row& row, CFirefoxCookie* item) {
             item->m_strName = row.Text(kName);
             item->m_strValue = row.Text(kValue);
             item->m_strSite = row.Text(kHost) + row.Text(kPath);
             item->m_strExpires =
                 milliseconds ? SecondsOfMilliseconds(row.Text(kExpiry)) : row.Text(kExpiry);
             if (origin_attributes && row.Raw(kOriginAttributes) != nullptr) {
               item->m_strContext = DescribeOriginAttributes(row.Raw(kOriginAttributes));
             }
           }}};
}

}  // namespace

int ProcessFirefoxCookieFile(const std::wstring& path, const CCookieFilter& filter,
                             CFirefoxCookieArray& items, bool clean) {
  int count = 0;
  std::string unread_rest;  // from the first line that is not a record to the end
  try {
    CStdioFile file(path);
    CFirefoxCookie cookie;
    for (;;) {
      if (clean) file.BeginCapture();
      if (!cookie.ReadFrom(file)) break;
      if (filter.IsEvil(cookie)) {
        ++count;
        if (!clean) items.push_back(cookie);
      } else if (clean) {
        items.push_back(cookie);
      }
    }
    if (clean) {
      unread_rest = file.TakeRawRest();
      if (OnlySkippedLines(unread_rest)) unread_rest.clear();
    }
  } catch (const CFileException&) {
    // Missing or unreadable: the file contributes nothing and is not written.
    if (clean) items.clear();
    return 0;
  }
  if (!clean) return count;
  if (count == 0) {
    // Nothing to remove: the file stays exactly as it is, header comments included.
    items.clear();
    return 0;
  }

  // The rewrite: kept records in the order read, comments and empty lines dropped,
  // LF line ends; then, byte for byte, whatever the reader could not take as
  // records. The new file replaces the old one only when it is complete.
  try {
    CFile out(path);
    for (CFirefoxCookie& kept : items) {
      if (!kept.WriteTo(out)) out.Write(RecordLine(kept));
    }
    out.Write(unread_rest);
    out.Commit();
  } catch (const CFileException&) {
    count = 0;  // the old file stays in place, evil records and all
  }
  items.clear();
  return count;
}

int ProcessFirefoxCookieDatabase(const std::wstring& path, const CCookieFilter& filter,
                                 CFirefoxCookieArray& items, bool clean, HeldReason* held) {
  return sqlite_access::PlannedDatabaseStep<CFirefoxCookie>(path, filter, items, clean,
                                                           CookieTables, held);
}

int ProcessFirefoxCookies(const CCookieFilter& filter, CFirefoxCookieArray& items, bool clean,
                          HeldStores* held) {
  int count = 0;
  for (const std::wstring& profile : FirefoxProfileFolders()) {
    count += ProcessFirefoxCookieFile(profile + L"\\cookies.txt", filter, items, clean);
    const std::wstring database = profile + L"\\cookies.sqlite";
    HeldReason reason = HeldReason::kNone;
    count += ProcessFirefoxCookieDatabase(database, filter, items, clean, &reason);
    ReportHeld(held, FirefoxProfileName(profile), database, reason);
  }
  return count;
}
