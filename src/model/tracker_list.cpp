#include "model/tracker_list.h"

#include "model/hash_slots.h"
#include "platform/platform.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// The next blank-separated word of *text, taken off it; empty at the end.
std::string_view NextWord(std::string_view* text) {
  *text = Trim(*text);
  size_t end = 0;
  while (end < text->size() && !IsBlank((*text)[end])) ++end;
  const std::string_view word = text->substr(0, end);
  text->remove_prefix(end);
  return word;
}

// True for what a hosts file puts before its names: an IPv4 address in dotted
// digits, or an IPv6 address (hex digits, colons, a zone or an embedded IPv4).
bool IsAddress(std::string_view word) {
  if (word.empty()) return false;
  if (word.find(':') != std::string_view::npos) {
    for (const char c : word) {
      const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
      if (!hex && c != ':' && c != '.' && c != '%') return false;
    }
    return true;
  }
  int dots = 0;
  for (const char c : word) {
    if (c == '.') {
      ++dots;
    } else if (c < '0' || c > '9') {
      return false;
    }
  }
  return dots == 3;
}

// True when a content-blocker rule's options leave it for the whole domain.
bool WholeDomainOptions(std::string_view options) {
  while (!options.empty()) {
    const size_t comma = options.find(',');
    const std::string_view option = options.substr(0, comma);
    if (option != "third-party" && option != "3p") return false;
    if (comma == std::string_view::npos) break;
    options.remove_prefix(comma + 1);
  }
  return true;
}

}  // namespace

CTrackerList::CTrackerList(std::wstring name, std::string_view text) : m_strName(std::move(name)) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // UTF-8's byte-order mark
  while (!text.empty()) {
    const size_t end = text.find('\n');
    Read(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
}

std::string_view CTrackerList::domain(size_t index) const {
  const size_t begin = m_offsets[index];
  const size_t end = index + 1 < m_offsets.size() ? m_offsets[index + 1] : m_domains.size();
  return std::string_view(m_domains).substr(begin, end - begin);
}

std::optional<size_t> CTrackerList::Find(std::string_view lower) const {
  return Find(lower, hash_slots::Hash(lower));
}

std::optional<size_t> CTrackerList::Find(std::string_view lower, uint64_t hash) const {
  const uint32_t found =
      hash_slots::Find(m_slots, hash, lower, [this](uint32_t entry) { return domain(entry); });
  if (found == 0) return std::nullopt;
  return found - 1;
}

bool CTrackerList::NormalizeHostName(std::string_view text, std::string* name) {
  if (!text.empty() && text.back() == '.') text.remove_suffix(1);  // a fully qualified name
  if (text.empty() || text.size() > 253) return false;
  name->clear();
  size_t label = 0, labels = 1;
  bool last_all_digits = true;
  for (const char c : text) {
    if (c == '.') {
      if (label == 0) return false;
      ++labels;
      label = 0;
      last_all_digits = true;
      name->push_back('.');
      continue;
    }
    const bool digit = c >= '0' && c <= '9';
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!digit && !letter && c != '-' && c != '_') return false;
    if (++label > 63) return false;
    last_all_digits = last_all_digits && digit;
    name->push_back(letter ? static_cast<char>(c | 0x20) : c);
  }
  return label > 0 && labels >= 2 && !last_all_digits;
}

void CTrackerList::Take(std::string_view host) {
  std::string name;
  if (!NormalizeHostName(host, &name)) {
    ++m_skipped[static_cast<size_t>(Skip::kNotHostName)];
    return;
  }
  if (m_domains.size() + name.size() > UINT32_MAX) return;  // past what a list can hold
  if ((m_offsets.size() + 1) * 2 > m_slots.size()) {  // keep the slots at most half used
    m_slots = hash_slots::Make(m_offsets.size() + 1);
    const auto key_of = [this](uint32_t entry) { return domain(entry); };
    for (uint32_t entry = 0; entry < m_offsets.size(); ++entry) {
      hash_slots::Insert(m_slots, entry, key_of);
    }
  }
  m_offsets.push_back(static_cast<uint32_t>(m_domains.size()));
  m_domains += name;
  const auto entry = static_cast<uint32_t>(m_offsets.size() - 1);
  if (!hash_slots::Insert(m_slots, entry, [this](uint32_t e) { return domain(e); })) {
    m_offsets.pop_back();
    m_domains.resize(m_domains.size() - name.size());
    ++m_skipped[static_cast<size_t>(Skip::kDuplicate)];
  }
}

void CTrackerList::Read(std::string_view line) {
  line = Trim(line);
  // Comments, blank lines and the "[Adblock Plus 2.0]" header line.
  if (line.empty() || line[0] == '#' || line[0] == '!' || line[0] == '[') return;
  const auto skip = [this](Skip reason) { ++m_skipped[static_cast<size_t>(reason)]; };
  if (line.substr(0, 2) == "@@") return skip(Skip::kException);
  // A cosmetic rule puts its marker ("##", "#@#", "#?#", "#$#", "#%#" and their
  // kin) right after its domains; a comment's "#" follows a blank.
  for (size_t mark = line.find('#'); mark != std::string_view::npos;
       mark = line.find('#', mark + 1)) {
    if (!IsBlank(line[mark - 1]) && mark + 1 < line.size() &&
        std::string_view("#@?$%").find(line[mark + 1]) != std::string_view::npos) {
      return skip(Skip::kElementHiding);
    }
  }
  if (line.substr(0, 2) == "||") {
    std::string_view rule = line.substr(2);
    const size_t caret = rule.find('^');
    if (caret == std::string_view::npos) return skip(Skip::kNarrowedRule);
    const std::string_view host = rule.substr(0, caret), rest = rule.substr(caret + 1);
    if (host.find_first_of("*/|") != std::string_view::npos) return skip(Skip::kNarrowedRule);
    if (!rest.empty() && (rest[0] != '$' || !WholeDomainOptions(rest.substr(1)))) {
      return skip(Skip::kNarrowedRule);
    }
    return Take(host);
  }
  std::string_view rest = line.substr(0, line.find('#'));
  // Other content-blocker network rules: addresses, paths, wildcards, options.
  if (rest.find_first_of("|/^$*") != std::string_view::npos) return skip(Skip::kNarrowedRule);
  const std::string_view first = NextWord(&rest);
  if (!IsAddress(first)) {
    // A domain alone on its line.
    if (!Trim(rest).empty()) return skip(Skip::kNotHostName);
    return Take(first);
  }
  // A hosts file line: its address, then one or more names.
  if (Trim(rest).empty()) return skip(Skip::kNotHostName);
  for (std::string_view word = NextWord(&rest); !word.empty(); word = NextWord(&rest)) {
    Take(word);
  }
}

ListFileError LoadTrackerList(const std::wstring& path, const std::wstring& name, CTrackerList* list) {
  using namespace platform;
  *list = CTrackerList();
  FileIdentity identity;
  if (!GetPathIdentity(path, &identity)) return ListFileError::kMissing;
  if (IsLinkOrReparsePoint(path)) return ListFileError::kLink;
  if (!FileExists(path)) return ListFileError::kNotRegular;  // a folder, pipe or device
  if (identity.size > kMaxListFileBytes) {
    return ListFileError::kTooLarge;
  }
  std::string data;
  if (!ReadWholeFile(path, &data, kMaxListFileBytes)) {
    // The seam's open refuses pipes and devices; a file that grew past the bound
    // while it was read is too large.
    if (!File::OpenForRead(path, File::Share::kDenyWrite).is_open()) return ListFileError::kNotRegular;
    return GetPathIdentity(path, &identity) && identity.size > kMaxListFileBytes
               ? ListFileError::kTooLarge
               : ListFileError::kUnreadable;
  }
  const bool bom16 = data.size() >= 2 && ((data[0] == '\xFF' && data[1] == '\xFE') ||
                                          (data[0] == '\xFE' && data[1] == '\xFF'));
  // UTF-16 text of ASCII without a mark: its first two characters each a NUL byte
  // and another, the NUL on the same side.
  const auto nul_at = [&data](size_t i) { return data[i] == '\0'; };
  const bool nul_pairs = data.size() >= 4 && nul_at(0) != nul_at(1) && nul_at(0) == nul_at(2) &&
                         nul_at(1) == nul_at(3);
  if (bom16 || nul_pairs) return ListFileError::kUtf16;
  *list = CTrackerList(name, data);
  return list->empty() ? ListFileError::kNoDomains : ListFileError::kNone;
}

std::wstring ListFileErrorText(ListFileError error) {
  switch (error) {
    case ListFileError::kNone: return L"was read";
    case ListFileError::kMissing: return L"was not found";
    case ListFileError::kLink: return L"is a link; lists are read only from regular files";
    case ListFileError::kNotRegular: return L"is not a regular file";
    case ListFileError::kTooLarge: return L"is larger than 64 MiB";
    case ListFileError::kUnreadable: return L"could not be read";
    case ListFileError::kUtf16: return L"holds UTF-16 text; save it as UTF-8 or ANSI";
    case ListFileError::kNoDomains: return L"holds no domain";
  }
  return L"";
}
