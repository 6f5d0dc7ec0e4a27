#include "model/filter.h"

#include <cstddef>
#include <cwchar>


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

}  // namespace

CCookieFilter::CCookieFilter(const std::wstring& filter_text) {
  size_t pos = 0;
  while (pos < filter_text.size()) {
    size_t end = filter_text.find(L'\n', pos);
    if (end == std::wstring::npos) end = filter_text.size();
    if (end > pos && filter_text[pos] != L'#') {
      m_arrPatterns.push_back(filter_text.substr(pos, end - pos));
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
    if (Match(site.c_str(), pattern.c_str())) return true;
  }
  return false;
}

// The rules are those of a recursive matcher that tries, for each "*", every later
// start of the rest. Because a piece between two stars matches deterministically and
// its end never moves back when its start moves forward, the earliest start of each
// middle piece is always the best one; only the last piece has to be tried at every
// start. That keeps the cost at O(site x pattern) whatever the number of stars.
bool CCookieFilter::Match(const wchar_t* site, const wchar_t* pattern) {
  const size_t site_len = std::wcslen(site);
  const size_t pattern_len = std::wcslen(pattern);

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
