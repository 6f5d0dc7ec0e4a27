// Flash local shared objects: below #SharedObjects lies one folder per player
// installation (level 1) and in it one folder per site (level 2). A site folder
// with everything below it is one item, named after the site.
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "stores/stores.h"

namespace {

constexpr size_t kPeekBytes = 127;
// Deeper folders are not searched, so that a folder link looping back on its own
// folder cannot make the search endless.
constexpr int kMaxPeekDepth = 64;

bool IsDotEntry(const std::wstring& name) { return name == L"." || name == L".."; }

// One level-1 folder: every site folder in it is one item. The filter judges the
// folder's name first; only an evil folder of a scan is looked into.
int ProcessFlashCookieFolder(const std::wstring& folder, const CCookieFilter& filter,
                             CFlashCookieArray& items, bool clean) {
  std::vector<platform::FindEntry> entries;
  if (!platform::FindFiles(folder + L"\\*", &entries)) return 0;
  int count = 0;
  for (const platform::FindEntry& entry : entries) {
    if (IsDotEntry(entry.name) || !entry.is_directory) continue;
    CFlashCookie cookie;
    cookie.m_strSite = entry.name;
    if (!filter.IsEvil(cookie)) continue;
    if (clean) {
      if (platform::ShellDelete(folder + L"\\" + entry.name) == 0) ++count;
      continue;
    }
    cookie.m_strName = kExpiresUnknown;
    if (!cookie.PeekFirstFile(folder, entry.name)) cookie.m_strValue = kExpiresUnknown;
    items.push_back(std::move(cookie));
    ++count;
  }
  return count;
}

// The first readable file below path\subfolder, depth first, in the order the
// search gives the entries.
bool PeekBelow(CFlashCookie& cookie, const std::wstring& path, const std::wstring& subfolder,
               int depth) {
  const std::wstring folder = path + L"\\" + subfolder;
  std::vector<platform::FindEntry> entries;
  if (!platform::FindFiles(folder + L"\\*", &entries)) return false;
  for (const platform::FindEntry& entry : entries) {
    if (entry.is_directory) {
      if (IsDotEntry(entry.name)) continue;
      if (depth < kMaxPeekDepth && PeekBelow(cookie, folder, entry.name, depth + 1)) return true;
      continue;
    }
    platform::File file =
        platform::File::OpenForRead(folder + L"\\" + entry.name, platform::File::Share::kDenyWrite);
    if (!file.is_open()) continue;
    unsigned char buffer[kPeekBytes + 1] = {};
    size_t got = 0;
    if (!file.Read(buffer, kPeekBytes, &got)) continue;
    std::wstring peek;
    for (size_t i = 0; i < got; ++i) {
      peek += (buffer[i] < 32 || buffer[i] > 126) ? L' ' : static_cast<wchar_t>(buffer[i]);
    }
    cookie.m_strValue = peek;
    cookie.m_strName = entry.name;
    return true;
  }
  return false;
}

}  // namespace

bool CFlashCookie::PeekFirstFile(const std::wstring& path, const std::wstring& subfolder) {
  return PeekBelow(*this, path, subfolder, 0);
}

int ProcessFlashCookies(const CCookieFilter& filter, CFlashCookieArray& items, bool clean) {
  std::wstring app_data;
  if (!platform::GetKnownFolder(platform::KnownFolder::AppData, &app_data)) return 0;
  const std::wstring root = app_data + L"\\Macromedia\\Flash Player\\#SharedObjects\\";
  std::vector<platform::FindEntry> entries;
  if (!platform::FindFiles(root + L"*", &entries)) return 0;
  int count = 0;
  for (const platform::FindEntry& entry : entries) {
    if (!entry.is_directory || IsDotEntry(entry.name)) continue;
    count += ProcessFlashCookieFolder(root + entry.name, filter, items, clean);
  }
  return count;
}
