#include "model/filter.h"

#include <cstddef>


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

CCookieFilter::CCookieFilter(const std::wstring& filter_text) {
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
}

bool CCookieFilter::IsEvil(const CCookie& item) const {
  std::wstring site = item.m_strSite;
  const size_t slash = site.find(L'/');
  if (slash != std::wstring::npos) site.erase(slash);
  if (site.empty()) return false;
  if (site[0] != L'.') site.insert(site.begin(), L'.');
  for (const std::wstring& pattern : m_arrPatterns) {
    if (Match(site, pattern)) return true;
  }
  return false;
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
