// Firefox's profile list, "profiles.ini".
#include <algorithm>
#include <cwctype>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "stores/firefox/firefox.h"

namespace {

// The components of a path, between "\" or "/".
std::vector<std::wstring> Components(const std::wstring& path) {
  std::vector<std::wstring> parts;
  std::wstring part;
  for (const wchar_t c : path + L'\\') {
    if (c != L'\\' && c != L'/') {
      part += static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    } else if (!part.empty()) {
      parts.push_back(std::move(part));
      part.clear();
    }
  }
  return parts;
}

// True when the absolute `path` lies, as written, inside `root`: its first
// components are those of the root (without regard to case) and more follow. A
// path of another drive or tree is never taken as one below the root.
bool LiesInside(const std::wstring& path, const std::wstring& root) {
  const std::vector<std::wstring> inner = Components(path), outer = Components(root);
  if (inner.size() <= outer.size()) return false;
  const bool path_rooted = path[0] == L'\\' || path[0] == L'/';
  const bool root_rooted = !root.empty() && (root[0] == L'\\' || root[0] == L'/');
  return path_rooted == root_rooted && std::equal(outer.begin(), outer.end(), inner.begin());
}

// The profiles that the list in `firefox` (a Firefox folder, ending in "\\") names.
void AddProfilesListedIn(const std::wstring& firefox, FirefoxProfiles* profiles) {
  // Read once: every lookup below is a search of what was read. Firefox writes the
  // list in UTF-8.
  const platform::IniFile list(firefox + L"profiles.ini", platform::IniEncoding::kUtf8);
  const std::wstring& root = platform::GetProfileRoot();
  for (int n = 0;; ++n) {
    const std::wstring section = L"Profile" + std::to_wstring(n);
    const std::wstring path = list.ReadString(section, L"Path", L"");
    if (path.empty()) break;
    const bool relative = list.ReadInt(section, L"IsRelative", 0) != 0;
    // Only a path of plain names, which a relative one cannot climb out of, to a
    // folder that is not a link.
    if (!platform::IsWindowsPath(path, relative)) continue;
    // A profile folder given to work on is all the operation may change.
    if (!relative && !root.empty() && !LiesInside(path, root)) {
      profiles->outside.push_back(path);
      continue;
    }
    const std::wstring folder = relative ? firefox + path : path;
    if (platform::IsLinkOrReparsePoint(folder)) continue;
    // Paths that differ in case, separators or form but lead to one folder are one
    // profile.
    platform::FileIdentity identity;
    if (platform::GetPathIdentity(folder, &identity)) {
      const auto same = [&identity](const platform::FileIdentity& seen) {
        return seen.SameEntry(identity);
      };
      if (std::any_of(profiles->seen.begin(), profiles->seen.end(), same)) continue;
      profiles->seen.push_back(identity);
    }
    profiles->folders.push_back(folder);
  }
}

}  // namespace

FirefoxProfiles ListFirefoxProfiles() {
  FirefoxProfiles profiles;
  std::wstring app_data;
  if (platform::GetKnownFolder(platform::KnownFolder::AppData, &app_data)) {
    AddProfilesListedIn(app_data + L"\\Mozilla\\Firefox\\", &profiles);
  }
  // Firefox from the Microsoft Store keeps its application data in its package.
  std::wstring local_app_data;
  if (platform::GetKnownFolder(platform::KnownFolder::LocalAppData, &local_app_data)) {
    AddProfilesListedIn(local_app_data +
                            L"\\Packages\\Mozilla.Firefox_n80bbvh6b1yt2\\LocalCache\\Roaming\\"
                            L"Mozilla\\Firefox\\",
                        &profiles);
  }
  return profiles;
}

std::vector<std::wstring> FirefoxProfileFolders() { return ListFirefoxProfiles().folders; }

std::wstring FirefoxProfileName(const std::wstring& folder) {
  const size_t slash = folder.find_last_of(L"\\/");
  return slash == std::wstring::npos ? folder : folder.substr(slash + 1);
}

namespace {

// "%28https%2Cnews.example%29" with each %XY turned back into its byte.
std::string PercentDecoded(const std::string& text) {
  std::string bytes;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto hex = [](char c) {
      if (c >= '0' && c <= '9') return c - '0';
      if (c >= 'a' && c <= 'f') return c - 'a' + 10;
      if (c >= 'A' && c <= 'F') return c - 'A' + 10;
      return -1;
    };
    if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 && hex(text[i + 2]) >= 0) {
      bytes += static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2]));
      i += 2;
    } else {
      bytes += text[i];
    }
  }
  return bytes;
}

// A partition key "(https,news.example)" or "(https,news.example,8443)" as a site
// address; anything else as it stands.
std::string PartitionSite(const std::string& key) {
  if (key.size() < 2 || key.front() != '(' || key.back() != ')') return key;
  std::vector<std::string> parts;
  std::string part;
  for (const char c : key.substr(1, key.size() - 2)) {
    if (c == ',') {
      parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  parts.push_back(part);
  if (parts.size() < 2 || parts[0].empty() || parts[1].empty()) return key;
  std::string site = parts[0] + "://" + parts[1];
  if (parts.size() >= 3 && !parts[2].empty() &&
      parts[2].find_first_not_of("0123456789") == std::string::npos) {
    site += ":" + parts[2];
  }
  return site;
}

}  // namespace

std::wstring DescribeOriginAttributes(const std::string& attributes) {
  if (attributes.empty() || attributes[0] != '^') return std::wstring();
  std::string described;
  size_t start = 1;
  while (start <= attributes.size()) {
    size_t end = attributes.find('&', start);
    if (end == std::string::npos) end = attributes.size();
    const std::string pair = attributes.substr(start, end - start);
    start = end + 1;
    const size_t equals = pair.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = pair.substr(0, equals);
    const std::string value = PercentDecoded(pair.substr(equals + 1));
    std::string part;
    if (key == "userContextId") part = "container " + value;
    if (key == "privateBrowsingId" && value != "0") part = "private window";
    if (key == "firstPartyDomain") part = "first party " + value;
    if (key == "partitionKey") part = "partition " + PartitionSite(value);
    if (part.empty()) continue;
    if (!described.empty()) described += ", ";
    described += part;
  }
  return platform::WideFromUtf8(described);
}
