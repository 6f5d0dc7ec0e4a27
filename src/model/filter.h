// The site filter: an item is evil when its site matches one of the user's
// wildcard patterns.
#pragma once

#include <string>
#include <vector>

#include "model/cookie.h"

class CCookieFilter {
 public:
  // Builds the list from a filter text: one pattern per line, lines separated by a
  // line feed alone, empty lines and lines starting with "#" skipped, nothing
  // trimmed.
  explicit CCookieFilter(const std::wstring& filter_text);

  // True when the item's site, cut before its first "/" and given a leading period,
  // matches a pattern.
  bool IsEvil(const CCookie& item) const;

  // True when the whole site matches the whole pattern. "*" matches any run of
  // characters (when more pattern follows, only runs that leave at least one
  // character), "+" takes the whole run up to the next period and never gives any
  // back, "?" one character, anything else itself, case-sensitively.
  static bool Match(const wchar_t* site, const wchar_t* pattern);

  const std::vector<std::wstring>& patterns() const { return m_arrPatterns; }

 private:
  std::vector<std::wstring> m_arrPatterns;
};
