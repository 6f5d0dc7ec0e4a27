#include "stores/folders/site_folders.h"

#include <cwctype>
#include <vector>

#include "platform/platform.h"

namespace site_folders {
namespace {

// Deeper folders are not searched, so that no layout can make a count endless.
constexpr int kMaxDepth = 64;

bool IsDotEntry(const std::wstring& name) { return name == L"." || name == L".."; }

int CountBelow(const std::wstring& folder, int depth) {
  std::vector<platform::FindEntry> entries;
  if (!platform::FindFiles(folder + L"\\*", &entries)) return 0;
  int files = 0;
  for (const platform::FindEntry& entry : entries) {
    if (!entry.is_directory) {
      ++files;
    } else if (!IsDotEntry(entry.name) && depth < kMaxDepth) {
      files += CountBelow(folder + L"\\" + entry.name, depth + 1);
    }
  }
  return files;
}

}  // namespace

bool EndsWithNoCase(const std::wstring& name, const std::wstring& suffix) {
  if (name.size() < suffix.size()) return false;
  const size_t start = name.size() - suffix.size();
  for (size_t i = 0; i < suffix.size(); ++i) {
    if (std::towlower(static_cast<wint_t>(name[start + i])) !=
        std::towlower(static_cast<wint_t>(suffix[i]))) {
      return false;
    }
  }
  return true;
}

int CountFiles(const std::wstring& folder) { return CountBelow(folder, 0); }

std::wstring FilesText(int files) {
  return std::to_wstring(files) + (files == 1 ? L" file" : L" files");
}

bool RemoveSiteFolder(const std::wstring& path) {
  if (platform::IsLinkOrReparsePoint(path)) return false;
  if (!platform::DirectoryExists(path)) return !platform::FileExists(path);
  platform::ShellDelete(path);
  return !platform::DirectoryExists(path) && !platform::FileExists(path) &&
         !platform::IsLinkOrReparsePoint(path);
}

}  // namespace site_folders
