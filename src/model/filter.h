// The site filter: an item is evil when its site matches one of the user's
// wildcard patterns.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "model/cookie.h"

class CCookieFilter {
 public:
  // A line that is neither empty nor a comment and still gives no pattern.
  struct IgnoredLine {
    enum class Reason {
      kNul,            // it holds a NUL character: what it matches would not be what it shows
      kByteOrderMark,  // it holds only a byte-order mark
    };
    size_t line;  // counted from 1
    Reason reason;
  };

  // Builds the list from a filter text: one pattern per line, each the whole line,
  // lines separated by a line feed alone, empty lines and lines starting with "#"
  // skipped, nothing trimmed. A byte-order mark that starts the text is not part of
  // the first line; lines with a NUL or with only a byte-order mark are ignored
  // (see ignored()). A byte-order mark is U+FEFF, or its UTF-8 bytes EF BB BF read
  // as one character each.
  explicit CCookieFilter(const std::wstring& filter_text);

  // True when the item's site, cut before its first "/" and given a leading period,
  // matches a pattern.
  bool IsEvil(const CCookie& item) const;

  // True when the whole site matches the whole pattern. "*" matches any run of
  // characters (when more pattern follows, only runs that leave at least one
  // character), "+" takes the whole run up to the next period and never gives any
  // back, "?" one character, anything else itself, case-sensitively.
  static bool Match(std::wstring_view site, std::wstring_view pattern);

  const std::vector<std::wstring>& patterns() const { return m_arrPatterns; }
  // The ignored lines, in the order of the text.
  const std::vector<IgnoredLine>& ignored() const { return m_arrIgnored; }

 private:
  std::vector<std::wstring> m_arrPatterns;
  std::vector<IgnoredLine> m_arrIgnored;
};
