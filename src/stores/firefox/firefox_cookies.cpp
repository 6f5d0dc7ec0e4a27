// Firefox cookies: "cookies.txt" and "cookies.sqlite" of every profile.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "stores/firefox/firefox.h"
#include "stores/sqlite/database_step.h"
#include "stores/stores.h"
#include "text/textfile.h"

namespace {

using sqlite_access::Row;

// ---- cookies.txt

// A record's raw line without its line end (LF or CR LF).
std::string RecordBytes(std::string line) {
  if (!line.empty() && line.back() == '\n') line.pop_back();
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
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
  return {{select, origin_attributes ? 7 : 6, sqlite_access::SiteColumns({kHost, kPath}),
           [origin_attributes, milliseconds](const Row& row, CFirefoxCookie* item) {
             item->m_strName = row.Text(kName);
             item->m_strValue = row.Text(kValue);
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
  // The line of each kept record exactly as it was read, without its line end.
  std::vector<std::string> kept_lines;
  // Open until the rewrite replaces it, which it does only while the path still
  // names the file read.
  std::optional<CStdioFile> file;
  try {
    // Firefox reads the file as bytes: a Ctrl-Z is part of a value, never an end.
    TextFileMode mode;
    mode.ctrl_z_ends_text = false;
    file.emplace(path, kMaxRecordFileBytes, mode);
    CFirefoxCookie cookie;
    sqlite_access::SiteVerdicts<std::wstring> verdicts(filter);
    for (;;) {
      const uint64_t capture_start = file->Offset();
      if (clean) file->BeginCapture();
      if (!cookie.ReadFrom(*file)) break;
      if (const std::optional<CCookieFilter::Rule> rule = verdicts.Find(cookie.m_strSite)) {
        cookie.m_pRule = filter.Describe(*rule);
        ++count;
        if (!clean) items.push_back(cookie);
      } else if (clean) {
        // The capture holds the comments the reader skipped, then the record's line.
        kept_lines.push_back(
            RecordBytes(file->TakeCaptured().substr(file->LineStart() - capture_start)));
      }
    }
    if (clean) {
      unread_rest = file->TakeRawRest();
      if (OnlySkippedLines(unread_rest)) unread_rest.clear();
    }
  } catch (const CFileException&) {
    // Missing or unreadable: the file contributes nothing and is not written.
    return 0;
  }
  if (!clean || count == 0) {
    // Nothing to remove: the file stays exactly as it is, header comments included.
    return count;
  }

  // The rewrite: kept records in the order read, each line's bytes as they were,
  // comments and empty lines dropped, LF line ends; then, byte for byte, whatever
  // the reader could not take as records. The new file replaces the old one only
  // when it is complete and the old one is still the file read.
  try {
    CFile out(path);
    for (const std::string& line : kept_lines) out.Write(line + '\n');
    out.Write(unread_rest);
    out.CommitReplacing(*file);
  } catch (const CFileException&) {
    count = 0;  // the old file stays in place, evil records and all
  }
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
  const FirefoxProfiles profiles = ListFirefoxProfiles();
  // Named here once for both of Firefox's stores: this one runs whenever Firefox does.
  for (const std::wstring& outside : profiles.outside) {
    ReportHeld(held, FirefoxProfileName(outside), outside, HeldReason::kOutsideProfile);
  }
  for (const std::wstring& profile : profiles.folders) {
    count += ProcessFirefoxCookieFile(profile + L"\\cookies.txt", filter, items, clean);
    const std::wstring database = profile + L"\\cookies.sqlite";
    HeldReason reason = HeldReason::kNone;
    count += ProcessFirefoxCookieDatabase(database, filter, items, clean, &reason);
    ReportHeld(held, FirefoxProfileName(profile), database, reason);
  }
  return count;
}
