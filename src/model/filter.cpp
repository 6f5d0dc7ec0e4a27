#include "model/filter.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <mutex>
#include <type_traits>
#include <unordered_map>
#include <utility>

#include "model/hash_slots.h"


namespace {

// Matches a piece of pattern without "*" at site[start]: literals and "?" take one
// character, "+" the whole run up to the next period. The outcome is determined by
// the start, so the end is returned (or -1 when the piece fails there).
std::ptrdiff_t MatchPiece(const wchar_t* site, size_t site_len, size_t start, const wchar_t* piece,
                     size_t piece_len) {
  size_t s = start;
  for (size_t p = 0; p < piece_len; ++p) {
    const wchar_t c = piece[p];
    if (c == L'+') {
      while (s < site_len && site[s] != L'.') ++s;
    } else if (s >= site_len || (c != L'?' && site[s] != c)) {
      return -1;
    } else {
      ++s;
    }
  }
  return static_cast<std::ptrdiff_t>(s);
}

// The length of the byte-order mark that starts text[pos, end), 0 when none does.
size_t ByteOrderMarkAt(const std::wstring& text, size_t pos, size_t end) {
  if (pos < end && text[pos] == 0xFEFF) return 1;
  if (end - pos >= 3 && text[pos] == 0xEF && text[pos + 1] == 0xBB && text[pos + 2] == 0xBF) return 3;
  return 0;
}

}  // namespace

CCookieFilter::CCookieFilter(const std::wstring& filter_text)
    : m_ruleTexts(std::make_shared<RuleTexts>()) {
  size_t pos = ByteOrderMarkAt(filter_text, 0, filter_text.size());
  for (size_t number = 1; pos < filter_text.size(); ++number) {
    size_t end = filter_text.find(L'\n', pos);
    if (end == std::wstring::npos) end = filter_text.size();
    const std::wstring_view line(filter_text.data() + pos, end - pos);
    if (!line.empty() && line[0] != L'#') {  // not empty, not a comment
      if (line.find(L'\0') != std::wstring_view::npos) {
        m_arrIgnored.push_back({number, IgnoredLine::Reason::kNul});
      } else if (ByteOrderMarkAt(filter_text, pos, end) == line.size()) {
        m_arrIgnored.push_back({number, IgnoredLine::Reason::kByteOrderMark});
      } else {
        m_arrPatterns.emplace_back(line);
      }
    }
    pos = end + 1;
  }
  IndexPatterns();
}

CCookieFilter::CCookieFilter(const std::wstring& filter_text, std::vector<CTrackerList> lists,
                             CTrackerList keep)
    : CCookieFilter(filter_text) {
  m_arrLists = std::move(lists);
  m_keep = std::move(keep);
}

namespace {

// The patterns found by index, and the part of each that is its key.
enum class Indexed {
  kNo,
  kSuffix,  // "*.<literal>": it matches a site that ends in ".<literal>"; key ".<literal>"
  kLabel,   // "*.<literal>.+": it matches a site whose text up to its last period ends in
            // ".<literal>." (the "+" takes the last label, which holds no period); key
            // ".<literal>."
};

Indexed IndexedAs(const std::wstring& pattern) {
  if (pattern.size() < 2 || pattern[0] != L'*' || pattern[1] != L'.') return Indexed::kNo;
  const size_t wildcard = pattern.find_first_of(L"*?+", 1);
  if (wildcard == std::wstring::npos) return Indexed::kSuffix;
  if (pattern.size() >= 4 && wildcard == pattern.size() - 1 && pattern.ends_with(L".+")) {
    return Indexed::kLabel;
  }
  return Indexed::kNo;
}

std::wstring_view IndexKey(const std::wstring& pattern) {
  return std::wstring_view(pattern).substr(1, pattern.size() - (pattern.back() == L'+' ? 2 : 1));
}

// A site of this length or less is decided without allocating.
constexpr size_t kShortSite = 256;

// The site cut before its first "/", with a leading period, in *buffer.
template <typename CharT>
std::wstring_view Normalize(std::basic_string_view<CharT> site,
                            std::array<wchar_t, kShortSite>* buffer, std::wstring* spill) {
  site = site.substr(0, site.find(CharT('/')));
  if (site.empty()) return {};
  const bool period = site[0] == CharT('.');
  const size_t size = site.size() + (period ? 0 : 1);
  wchar_t* out = buffer->data();
  if (size > buffer->size()) {
    spill->resize(size);
    out = spill->data();
  }
  out[0] = L'.';
  for (size_t i = 0; i < site.size(); ++i) {
    out[i + (period ? 0 : 1)] = static_cast<wchar_t>(
        static_cast<std::make_unsigned_t<CharT>>(site[i]));
  }
  return std::wstring_view(out, size);
}

}  // namespace

void CCookieFilter::IndexPatterns() {
  size_t suffixes = 0, labels = 0;
  for (const std::wstring& pattern : m_arrPatterns) {
    const Indexed indexed = IndexedAs(pattern);
    suffixes += indexed == Indexed::kSuffix ? 1 : 0;
    labels += indexed == Indexed::kLabel ? 1 : 0;
  }
  if (suffixes != 0) m_suffixSlots = hash_slots::Make(suffixes);
  if (labels != 0) m_labelSlots = hash_slots::Make(labels);
  const auto key_of = [this](uint32_t entry) { return IndexKey(m_arrPatterns[entry]); };
  for (uint32_t index = 0; index < m_arrPatterns.size(); ++index) {
    // A repeated key keeps its first pattern.
    switch (IndexedAs(m_arrPatterns[index])) {
      case Indexed::kSuffix: hash_slots::Insert(m_suffixSlots, index, key_of); break;
      case Indexed::kLabel: hash_slots::Insert(m_labelSlots, index, key_of); break;
      case Indexed::kNo: m_arrScanned.push_back(index); break;
    }
  }
}

std::optional<CCookieFilter::Rule> CCookieFilter::FindNormalized(std::wstring_view site) const {
  // The site in lower case for the lists: A to Z only, as DNS compares; any other
  // character a host name cannot hold keeps its suffix from matching a domain.
  const bool lists = !m_arrLists.empty() || !m_keep.empty();
  std::string lower_spill;
  std::array<char, kShortSite> lower_buffer;
  char* lower = lower_buffer.data();
  if (lists && site.size() > lower_buffer.size()) {
    lower_spill.resize(site.size());
    lower = lower_spill.data();
  }
  const auto key_of = [this](uint32_t entry) { return IndexKey(m_arrPatterns[entry]); };
  const auto indexed = [&key_of](const std::vector<uint32_t>& slots, uint64_t hash,
                                 std::wstring_view key) {
    const uint32_t found = hash_slots::Find(slots, hash, key, key_of);
    return found == 0 ? UINT32_MAX : found - 1;
  };

  // One walk from the end of the site to its start hashes every suffix on the way:
  // from each period on for the patterns "*.<literal>", from each period to the
  // last one for the patterns "*.<literal>.+", and after each period, in lower
  // case, for the lists. The site starts with a period.
  const size_t last = site.rfind(L'.');
  uint64_t suffix = 0, up_to_last = 0, lower_suffix = 0;
  uint32_t best = UINT32_MAX;  // the least index of an indexed pattern that matches
  size_t list = m_arrLists.size(), entry = 0;  // the first list that holds a domain above
  for (size_t i = site.size(); i-- > 0;) {
    const wchar_t c = site[i];
    if (lists) {
      if (c == L'.' && i < last) {  // a domain has two labels at least
        // The domains from the top down: the last one found is the longest.
        const std::string_view domain(lower + i + 1, site.size() - i - 1);
        const uint64_t hash = hash_slots::Finish(lower_suffix);
        if (!m_keep.empty() && m_keep.Find(domain, hash)) return std::nullopt;
        for (size_t l = 0; l < m_arrLists.size() && l <= list; ++l) {
          if (const auto found = m_arrLists[l].Find(domain, hash)) {
            list = l;
            entry = *found;
            break;
          }
        }
      }
      lower[i] = c >= L'A' && c <= L'Z' ? static_cast<char>(c | 0x20)
                 : c < 0x80            ? static_cast<char>(c)
                                       : '\x7F';
      lower_suffix = hash_slots::Step(lower_suffix, static_cast<unsigned char>(lower[i]));
    }
    const auto unit = static_cast<std::make_unsigned_t<wchar_t>>(c);
    suffix = hash_slots::Step(suffix, unit);
    if (i <= last) up_to_last = hash_slots::Step(up_to_last, unit);
    if (c != L'.') continue;
    best = std::min(best, indexed(m_suffixSlots, hash_slots::Finish(suffix), site.substr(i)));
    if (i < last) {
      best = std::min(best, indexed(m_labelSlots, hash_slots::Finish(up_to_last),
                                    site.substr(i, last + 1 - i)));
    }
  }
  // Only the other patterns before it can come first.
  for (const uint32_t index : m_arrScanned) {
    if (index > best) break;
    if (Match(site, m_arrPatterns[index])) return Rule{-1, index};
  }
  if (best != UINT32_MAX) return Rule{-1, best};
  if (list < m_arrLists.size()) return Rule{static_cast<int>(list), entry};
  return std::nullopt;
}

std::optional<CCookieFilter::Rule> CCookieFilter::Find(std::wstring_view site) const {
  std::array<wchar_t, kShortSite> buffer;
  std::wstring spill;
  const std::wstring_view normal = Normalize(site, &buffer, &spill);
  if (normal.empty()) return std::nullopt;
  return FindNormalized(normal);
}

std::optional<CCookieFilter::Rule> CCookieFilter::Find(std::string_view site) const {
  std::array<wchar_t, kShortSite> buffer;
  std::wstring spill;
  const std::wstring_view normal = Normalize(site, &buffer, &spill);
  if (normal.empty()) return std::nullopt;
  return FindNormalized(normal);
}

struct CCookieFilter::RuleTexts {
  std::mutex mutex;
  // By the rule's list + 1 (0 for the patterns) in the high half, its index in the low.
  std::unordered_map<uint64_t, std::shared_ptr<const std::wstring>> texts;
};

std::shared_ptr<const std::wstring> CCookieFilter::Describe(const Rule& rule) const {
  const uint64_t key = (static_cast<uint64_t>(rule.list + 1) << 32) | rule.index;
  const std::lock_guard<std::mutex> lock(m_ruleTexts->mutex);
  std::shared_ptr<const std::wstring>& text = m_ruleTexts->texts[key];
  if (text) return text;
  if (rule.list < 0) {
    text = std::make_shared<const std::wstring>(m_arrPatterns[rule.index]);
  } else {
    const CTrackerList& list = m_arrLists[static_cast<size_t>(rule.list)];
    const std::string_view domain = list.domain(rule.index);
    text = std::make_shared<const std::wstring>(list.name() + L": " +
                                                std::wstring(domain.begin(), domain.end()));
  }
  return text;
}

bool CCookieFilter::IsEvil(CCookie& item) const {
  const std::optional<Rule> rule = Find(std::wstring_view(item.m_strSite));
  item.m_pRule = rule ? Describe(*rule) : nullptr;
  return rule.has_value();
}

// The rules are those of a recursive matcher that tries, for each "*", every later
// start of the rest. Because a piece between two stars matches deterministically and
// its end never moves back when its start moves forward, the earliest start of each
// middle piece is always the best one; only the last piece has to be tried at every
// start. That keeps the cost at O(site x pattern) whatever the number of stars.
bool CCookieFilter::Match(std::wstring_view site_text, std::wstring_view pattern_text) {
  const wchar_t* site = site_text.data();
  const wchar_t* pattern = pattern_text.data();
  const size_t site_len = site_text.size();
  const size_t pattern_len = pattern_text.size();

  // The first piece is anchored at the start of the site.
  size_t p = 0;
  while (p < pattern_len && pattern[p] != L'*') ++p;
  std::ptrdiff_t pos = MatchPiece(site, site_len, 0, pattern, p);
  if (pos < 0) return false;
  if (p == pattern_len) return static_cast<size_t>(pos) == site_len;

  for (;;) {
    // pattern[p] is a star: skip the run of stars.
    while (p < pattern_len && pattern[p] == L'*') ++p;
    if (p == pattern_len) return true;  // a final star takes any rest, even none
    const size_t piece = p;
    while (p < pattern_len && pattern[p] != L'*') ++p;
    const size_t piece_len = p - piece;
    const bool last = p == pattern_len;
    // The rest is tried from the current position up to the last character of the
    // site, never at its empty end.
    bool found = false;
    for (size_t start = static_cast<size_t>(pos); start < site_len; ++start) {
      const std::ptrdiff_t end = MatchPiece(site, site_len, start, pattern + piece, piece_len);
      if (end < 0) continue;
      if (last) {
        if (static_cast<size_t>(end) == site_len) return true;
        continue;
      }
      pos = end;
      found = true;
      break;
    }
    if (!found) return false;
  }
}
