#include "app/run_filter.h"

#include <cwchar>
#include <string_view>
#include <utility>

#include "app/settings.h"
#include "platform/platform.h"
#include "text/textfile.h"

namespace {

constexpr uint64_t kFileTimeDay = 864000000000ull;  // 100-nanosecond units
constexpr size_t kMaxStateBytes = 64 * 1024;

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    wchar_t c = text[i];
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c | 0x20);
    if (c != prefix[i]) return false;
  }
  return true;
}

bool EqualsNoCase(std::wstring_view text, std::wstring_view lower) {
  return text.size() == lower.size() && StartsWithNoCase(text, lower);
}

// What an address holds between its scheme and its path: the user, host and port.
std::wstring_view Authority(std::wstring_view address) {
  address.remove_prefix(address.find(L"://") + 3);
  return address.substr(0, address.find_first_of(L"/?#"));
}

bool IsPort(std::wstring_view port) {
  if (port.empty() || port.size() > 5) return false;
  unsigned value = 0;
  for (const wchar_t c : port) {
    if (c < L'0' || c > L'9') return false;
    value = value * 10 + static_cast<unsigned>(c - L'0');
  }
  return value >= 1 && value <= 65535;
}

bool IsHostCharacter(wchar_t c) {
  return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
         c == L'-' || c == L'.' || c == L'_';
}

// Splits an authority into its host (an IPv6 address with its brackets) and its
// port; false when it is not one.
bool SplitAuthority(std::wstring_view authority, std::wstring_view* host) {
  std::wstring_view port;
  bool has_port = false;
  if (!authority.empty() && authority[0] == L'[') {
    const size_t close = authority.find(L']');
    if (close == std::wstring_view::npos) return false;
    *host = authority.substr(0, close + 1);
    const std::wstring_view after = authority.substr(close + 1);
    if (!after.empty()) {
      if (after[0] != L':') return false;
      port = after.substr(1);
      has_port = true;
    }
    for (const wchar_t c : host->substr(1, host->size() - 2)) {
      const bool hex = (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
      if (!hex && c != L':' && c != L'.') return false;
    }
    if (host->size() < 3) return false;
  } else {
    const size_t colon = authority.find(L':');
    *host = authority.substr(0, colon);
    if (colon != std::wstring_view::npos) {
      port = authority.substr(colon + 1);
      has_port = true;
    }
    if (host->empty()) return false;
    for (const wchar_t c : *host) {
      if (!IsHostCharacter(c)) return false;
    }
  }
  return !has_port || IsPort(port);
}

std::wstring FileNameOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

uint64_t ParseNumber(std::string_view text) {
  uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9' || value > (UINT64_MAX - 9) / 10) return 0;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  return value;
}

// A header value as the state keeps it: one line, without control characters.
std::string OneLine(std::string_view text) {
  std::string line;
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) line += c;
  }
  return line;
}

}  // namespace

std::vector<std::wstring> GetTrackerListSources() {
  const std::wstring text = CtrackscrubApp::GetRegString(kValueTrackerLists, L"");
  std::vector<std::wstring> sources;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find(L'\n', pos);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    if (!line.empty()) sources.push_back(std::move(line));
    pos = end + 1;
  }
  return sources;
}

void SetTrackerListSources(const std::vector<std::wstring>& sources) {
  std::wstring text;
  for (const std::wstring& source : sources) text += source + L"\n";
  CtrackscrubApp::SetRegString(kValueTrackerLists, sources.empty() ? nullptr : text.c_str());
}

std::wstring GetNeverCleanText() { return CtrackscrubApp::GetRegString(kValueNeverClean, L""); }

CTrackerList KeepListFromText(const std::wstring& text) {
  return CTrackerList(L"Never clean", platform::Utf8FromWide(text));
}

bool IsListAddress(const std::wstring& source) {
  return StartsWithNoCase(source, L"https://") || StartsWithNoCase(source, L"http://");
}

bool IsAcceptedListAddress(const std::wstring& address) {
  for (const wchar_t c : address) {
    if (c <= 0x20 || c >= 0x7F) return false;
  }
  const bool https = StartsWithNoCase(address, L"https://");
  if (!https && !StartsWithNoCase(address, L"http://")) return false;
  const std::wstring_view authority = Authority(address);
  std::wstring_view host;
  if (authority.find(L'@') != std::wstring_view::npos || !SplitAuthority(authority, &host)) {
    return false;
  }
  return https || EqualsNoCase(host, L"localhost") || host == L"127.0.0.1" || host == L"[::1]";
}

bool ListCopyFolder(std::wstring* folder) {
  folder->clear();
  std::wstring local;
  if (!platform::GetKnownFolder(platform::KnownFolder::LocalAppData, &local)) return false;
  *folder = local + L"\\Trackscrub\\Lists";
  return true;
}

bool ListCopyPath(const std::wstring& address, std::wstring* path) {
  path->clear();
  std::wstring folder;
  if (!ListCopyFolder(&folder)) return false;
  // Readable by its host, told apart from the other copies by a hash of the whole
  // address.
  std::wstring host;
  for (const wchar_t c : Authority(address)) {
    if (c == L':') break;  // its port, or an IPv6 address: named by the hash alone
    if (IsHostCharacter(c) && c != L'_' && host.size() < 64) {
      host += c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c | 0x20) : c;
    }
  }
  while (!host.empty() && host.back() == L'.') host.pop_back();
  if (host.empty()) host = L"list";
  uint64_t hash = 14695981039346656037ull;  // FNV-1a of the address's UTF-8
  for (const char c : platform::Utf8FromWide(address)) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  wchar_t hex[17];
  std::swprintf(hex, 17, L"%016llx", static_cast<unsigned long long>(hash));
  *path = folder + L"\\" + host + L"-" + hex + L".txt";
  return true;
}

ListDownloadState ReadListDownloadState(const std::wstring& copy) {
  ListDownloadState state;
  std::string data;
  if (!platform::ReadWholeFile(copy + L".state", &data, kMaxStateBytes)) return state;
  size_t pos = 0;
  while (pos < data.size()) {
    size_t end = data.find('\n', pos);
    if (end == std::string::npos) end = data.size();
    const std::string_view line = std::string_view(data).substr(pos, end - pos);
    const size_t space = line.find(' ');
    const std::string_view key = line.substr(0, space);
    const std::string_view value = space == std::string_view::npos ? "" : line.substr(space + 1);
    if (key == "etag") state.etag = OneLine(value);
    if (key == "last-modified") state.last_modified = OneLine(value);
    if (key == "checked") state.checked = ParseNumber(value);
    if (key == "confirmed") state.confirmed = ParseNumber(value);
    if (key == "failure") state.failure = platform::WideFromUtf8(OneLine(value));
    pos = end + 1;
  }
  return state;
}

bool WriteListDownloadState(const std::wstring& copy, const ListDownloadState& state) {
  const std::string text = "etag " + OneLine(state.etag) + "\nlast-modified " +
                           OneLine(state.last_modified) + "\nchecked " +
                           std::to_string(state.checked) + "\nconfirmed " +
                           std::to_string(state.confirmed) + "\nfailure " +
                           OneLine(platform::Utf8FromWide(state.failure)) + "\n";
  try {
    CFile file(copy + L".state");
    file.Write(text);
    file.Commit();
  } catch (const CFileException&) {
    return false;
  }
  return true;
}

bool IsListDownloadDue(const ListDownloadState& state, uint64_t now) {
  return state.checked == 0 || state.checked > now || now - state.checked >= kFileTimeDay;
}

ListReport ReadTrackerList(const std::wstring& source, CTrackerList* list) {
  ListReport report;
  report.source = source;
  report.address = IsListAddress(source);
  std::wstring path = source;
  if (report.address) {
    report.name = source;
    if (!ListCopyPath(source, &path)) {
      *list = CTrackerList();
      report.error = ListFileError::kMissing;
      return report;
    }
    report.download = ReadListDownloadState(path);
  } else {
    report.name = FileNameOf(source);
  }
  report.error = LoadTrackerList(path, report.name, list);
  report.domains = list->size();
  for (size_t reason = 0; reason < CTrackerList::kSkipReasons; ++reason) {
    report.skipped[reason] = list->skipped(static_cast<CTrackerList::Skip>(reason));
  }
  return report;
}

std::wstring ListSkipText(CTrackerList::Skip reason) {
  switch (reason) {
    case CTrackerList::Skip::kNotHostName: return L"not a host name";
    case CTrackerList::Skip::kNarrowedRule: return L"a rule for less than a whole domain";
    case CTrackerList::Skip::kException: return L"an exception rule";
    case CTrackerList::Skip::kElementHiding: return L"an element-hiding rule";
    case CTrackerList::Skip::kDuplicate: return L"a domain already listed";
    case CTrackerList::Skip::kCount: break;
  }
  return L"";
}

std::wstring ListStateText(const ListReport& report) {
  if (!report.address) return report.error == ListFileError::kNone ? L"" : ListFileErrorText(report.error);
  const bool copy = report.error == ListFileError::kNone;
  if (!report.download.failure.empty()) {
    return L"download failed: " + report.download.failure + (copy ? L"; last good copy kept" : L"");
  }
  if (report.error == ListFileError::kMissing) return L"not downloaded yet";
  if (!copy) return L"the downloaded copy " + ListFileErrorText(report.error);
  return L"";
}

RunFilter BuildRunFilter(const std::wstring& patterns, const std::vector<std::wstring>& sources,
                         CTrackerList keep) {
  std::vector<CTrackerList> lists;
  std::vector<ListReport> reports;
  for (const std::wstring& source : sources) {
    CTrackerList list;
    reports.push_back(ReadTrackerList(source, &list));
    if (reports.back().error == ListFileError::kNone) lists.push_back(std::move(list));
  }
  return RunFilter{CCookieFilter(patterns, std::move(lists), std::move(keep)), std::move(reports)};
}

RunFilter BuildSettingsFilter() {
  return BuildRunFilter(CtrackscrubApp::GetFilter(), GetTrackerListSources(),
                        KeepListFromText(GetNeverCleanText()));
}
