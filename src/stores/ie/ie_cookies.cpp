// Internet Explorer cookies: one small text file per site in the user's cookie
// folder and its "\Low" folder (protected mode). IE cookie records are nine lines:
// name, value, host and path, flags, expiry low and high, creation low and high,
// and a line holding a single "*".
//
// Each file is opened and read once, into a buffer the folder's files share, and
// its records are taken from there as views of its bytes: the filter judges a
// record's site before anything is copied, and only an evil record of a scan
// becomes an item; a clean writes the records it keeps straight from the bytes.
#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "stores/stores.h"
#include "text/textfile.h"

namespace {

// Far more than the records of one site can fill.
constexpr uint64_t kMaxCookieFileBytes = uint64_t{4} << 20;

constexpr size_t kSiteField = 2;

// The first eight lines of a record, as views of the file's bytes.
using Record = std::array<std::string_view, CIECookie::kFields>;

// The next whole record (CIECookie::ReadFrom's rule, on the bytes): eight lines and
// a ninth that is exactly "*".
bool ReadRecord(CTextLines& lines, Record* record) {
  for (std::string_view& field : *record) {
    if (!lines.Next(&field)) return false;
  }
  std::string_view end;
  return lines.Next(&end) && end == "*";
}

// What the files of one folder share: the bytes of the file being read and those
// of its rewrite, and the filter's word on the last site it was asked about (the
// records of one file are mostly of one site).
struct Buffers {
  std::string bytes;
  std::string rewrite;
  bool asked = false;
  std::string site;
  std::optional<CCookieFilter::Rule> rule;
};

// Reads one cookie file. A scan appends the evil records; a clean rewrites the
// file without the evil ones, or deletes it when nothing is left; it counts the
// evil records only once they are gone from disk, and leaves the file alone
// (counting 0) when another program changed or replaced it since it was read.
// Bytes the reader could not take as records (a malformed record and whatever
// follows it) are kept verbatim behind the kept records.
int ProcessIECookieFile(const std::wstring& path, const CCookieFilter& filter,
                        CIECookieArray& items, bool clean, Buffers& buffers) {
  // Open until the file is replaced or deleted: the deletion goes through it, and
  // both happen only while the path still names the file read.
  platform::File file = platform::File::OpenForRead(
      path, clean ? platform::File::Share::kDenyWriteAndDelete : platform::File::Share::kDenyWrite);
  platform::FileIdentity read;
  // Unreadable: the file contributes nothing and stays as it is.
  if (!file.is_open() || (clean && !file.GetIdentity(&read)) ||
      !file.ReadAll(&buffers.bytes, kMaxCookieFileBytes)) {
    return 0;
  }
  const std::string_view bytes = buffers.bytes;
  CTextLines lines(bytes);
  std::string& kept = buffers.rewrite;
  kept.clear();
  int count = 0;
  bool kept_any = false;
  Record record;
  size_t record_start = 0;
  for (;; record_start = lines.Offset()) {
    if (!ReadRecord(lines, &record)) break;
    if (!buffers.asked || record[kSiteField] != buffers.site) {
      buffers.asked = true;
      buffers.site = record[kSiteField];
      buffers.rule = filter.Find(buffers.site);
    }
    const std::optional<CCookieFilter::Rule>& rule = buffers.rule;
    if (rule) {
      ++count;
      if (clean) continue;
      CIECookie& cookie = items.emplace_back();
      const auto fields = cookie.Fields();
      for (size_t i = 0; i < record.size(); ++i) *fields[i] = WideFromBytes(record[i]);
      cookie.m_pRule = filter.Describe(*rule);
    } else if (clean) {
      kept_any = true;
      for (const std::string_view field : record) {
        kept += field;
        kept += '\n';
      }
      kept += "*\n";
    }
  }
  if (!clean) return count;

  const std::string_view unread_rest = bytes.substr(record_start);
  // Line ends and blanks behind the last record keep nothing.
  const bool nothing_unread = unread_rest.find_first_not_of(" \t\r\n") == std::string_view::npos;
  if (!kept_any && nothing_unread) {
    if (!file.RemoveIfUnchanged(path, read)) count = 0;
  } else if (count > 0) {
    try {
      CFile out(path);
      out.Write(kept);
      out.Write(unread_rest);
      out.CommitReplacing(file, read);
    } catch (const CFileException&) {
      count = 0;  // the original stays in place, evil records and all
    }
  }
  return count;
}

int ProcessIECookieFolder(const std::wstring& folder, const CCookieFilter& filter,
                          CIECookieArray& items, bool clean) {
  std::vector<platform::FindEntry> entries;
  if (!platform::FindFiles(folder + L"\\*.txt", &entries)) return 0;
  Buffers buffers;
  int count = 0;
  for (const platform::FindEntry& entry : entries) {
    count += ProcessIECookieFile(folder + L"\\" + entry.name, filter, items, clean, buffers);
  }
  return count;
}

}  // namespace

int ProcessIECookies(const CCookieFilter& filter, CIECookieArray& items, bool clean) {
  std::wstring folder;
  if (!platform::GetKnownFolder(platform::KnownFolder::Cookies, &folder)) return 0;
  return ProcessIECookieFolder(folder, filter, items, clean) +
         ProcessIECookieFolder(folder + L"\\Low", filter, items, clean);
}
