// Firefox's profile list, "profiles.ini".
#include <string>
#include <vector>

#include "platform/platform.h"
#include "stores/firefox/firefox.h"

std::vector<std::wstring> FirefoxProfileFolders() {
  std::vector<std::wstring> folders;
  std::wstring app_data;
  if (!platform::GetKnownFolder(platform::KnownFolder::AppData, &app_data)) return folders;
  const std::wstring firefox = app_data + L"\\Mozilla\\Firefox\\";
  // Read once: every lookup below is a search of what was read.
  const platform::IniFile list(firefox + L"profiles.ini");
  for (int n = 0;; ++n) {
    const std::wstring section = L"Profile" + std::to_wstring(n);
    const std::wstring path = list.ReadString(section, L"Path", L"");
    if (path.empty()) break;
    const bool relative = list.ReadInt(section, L"IsRelative", 0) != 0;
    // Only a path of plain names, which a relative one cannot climb out of, to a
    // folder that is not a link.
    if (!platform::IsWindowsPath(path, relative)) continue;
    const std::wstring folder = relative ? firefox + path : path;
    if (!platform::IsLinkOrReparsePoint(folder)) folders.push_back(folder);
  }
  return folders;
}
