// Internet Explorer cookies: one small text file per site in the user's cookie
// folder and its "\Low" folder (protected mode). IE cookie records are nine lines:
// name, value, host and path, flags, expiry low and high, creation low and high,
// and a line holding a single "*".
#include <optional>
#include <string>

#include "platform/platform.h"
#include "stores/stores.h"
#include "text/textfile.h"

namespace {

// Far more than the records of one site can fill.
constexpr uint64_t kMaxCookieFileBytes = uint64_t{4} << 20;

// Reads one cookie file. A scan appends the evil records; a clean keeps the others
// in `items` and rewrites the file without the evil ones, or deletes it when
// nothing is left; it counts the evil records only once they are gone from disk,
// and leaves the file alone (counting 0) when another program changed or replaced
// it since it was read. Bytes the reader could not take as records (a malformed
// record and whatever follows it) are kept verbatim behind the kept records.
int ProcessIECookieFile(const std::wstring& path, const CCookieFilter& filter,
                        CIECookieArray& items, bool clean) {
  int count = 0;
  bool changed = false;
  std::string unread_rest;
  // Open until the file is replaced or deleted: the deletion goes through it, and
  // both happen only while the path still names the file read.
  std::optional<CStdioFile> file;
  try {
    TextFileMode mode;
    if (clean) mode.share = platform::File::Share::kDenyWriteAndDelete;
    file.emplace(path, kMaxCookieFileBytes, mode);
    CIECookie cookie;
    for (;;) {
      if (clean) file->BeginCapture();
      if (!cookie.ReadFrom(*file)) break;
      if (filter.IsEvil(cookie)) {
        ++count;
        if (clean) {
          changed = true;
        } else {
          items.push_back(cookie);
        }
      } else if (clean) {
        items.push_back(cookie);
      }
    }
    if (clean) unread_rest = file->TakeRawRest();
  } catch (const CFileException&) {
    // Unreadable: the file contributes nothing and stays as it is.
    if (clean) items.clear();
    return 0;
  }
  if (!clean) return count;

  // Line ends and blanks behind the last record keep nothing.
  const bool nothing_unread = unread_rest.find_first_not_of(" \t\r\n") == std::string::npos;
  if (items.empty() && nothing_unread) {
    if (!file->RemoveIfUnchanged()) count = 0;
  } else if (changed) {
    try {
      CFile out(path);
      for (CIECookie& kept : items) kept.WriteTo(out);
      out.Write(unread_rest);
      out.CommitReplacing(*file);
    } catch (const CFileException&) {
      count = 0;  // the original stays in place, evil records and all
    }
  }
  items.clear();
  return count;
}

int ProcessIECookieFolder(const std::wstring& folder, const CCookieFilter& filter,
                          CIECookieArray& items, bool clean) {
  std::vector<platform::FindEntry> entries;
  if (!platform::FindFiles(folder + L"\\*.txt", &entries)) return 0;
  int count = 0;
  for (const platform::FindEntry& entry : entries) {
    count += ProcessIECookieFile(folder + L"\\" + entry.name, filter, items, clean);
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
