// The site filter: an item is evil when its site matches one of the user's
// wildcard patterns or lies at or below a domain of one of the user's tracker
// lists, and not at or below a domain of the keep list.
//
// Deciding a site costs its length and a lookup per label and tracker list, plus
// the patterns of other forms tried one by one, whatever the number of patterns and
// list domains: patterns of the forms "*.<literal>" and "*.<literal>.+" and list
// domains are looked up by the parts of the site that start at its periods.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/cookie.h"
#include "model/tracker_list.h"

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
  // The same patterns, with tracker lists and a keep list.
  CCookieFilter(const std::wstring& filter_text, std::vector<CTrackerList> lists,
                CTrackerList keep);

  // What made a site evil: a pattern (list < 0, index into patterns()) or a domain of
  // a tracker list (lists()[list].domain(index)).
  struct Rule {
    int list = -1;
    size_t index = 0;
    bool operator==(const Rule&) const = default;
  };

  // The rule that makes a site evil, or none. The site is cut before its first "/"
  // and given a leading period. A site at or below a keep-list domain is never
  // evil; otherwise the first pattern in the list's order that matches decides,
  // then the lists in their order. List domains are compared without regard to the
  // letter case of A to Z, patterns as they are written.
  std::optional<Rule> Find(std::wstring_view site) const;
  // The same for a site as 8-bit text, each byte one character.
  std::optional<Rule> Find(std::string_view site) const;
  // The rule as the user reads it: the pattern, or "<list name>: <domain>". Each
  // rule's text is made once and shared by every item it finds (and by the copies
  // of this filter); it may be asked from several threads.
  std::shared_ptr<const std::wstring> Describe(const Rule& rule) const;

  // True when the item's site is evil (Find); then names in item.m_pRule the rule
  // that made it so.
  bool IsEvil(CCookie& item) const;

  // True when the whole site matches the whole pattern. "*" matches any run of
  // characters (when more pattern follows, only runs that leave at least one
  // character), "+" takes the whole run up to the next period and never gives any
  // back, "?" one character, anything else itself, case-sensitively.
  static bool Match(std::wstring_view site, std::wstring_view pattern);

  const std::vector<std::wstring>& patterns() const { return m_arrPatterns; }
  // The ignored lines, in the order of the text.
  const std::vector<IgnoredLine>& ignored() const { return m_arrIgnored; }
  const std::vector<CTrackerList>& lists() const { return m_arrLists; }
  const CTrackerList& keep() const { return m_keep; }

 private:
  void IndexPatterns();
  std::optional<Rule> FindNormalized(std::wstring_view site) const;

  std::vector<std::wstring> m_arrPatterns;
  std::vector<IgnoredLine> m_arrIgnored;
  std::vector<CTrackerList> m_arrLists;
  CTrackerList m_keep;
  // Patterns "*.<literal>" by ".<literal>", and patterns "*.<literal>.+" by
  // ".<literal>." (hash_slots, each slot the pattern's index + 1 or 0 when free).
  // When two patterns share a key the first is kept.
  std::vector<uint32_t> m_suffixSlots;
  std::vector<uint32_t> m_labelSlots;
  // The other patterns' indexes, in order.
  std::vector<uint32_t> m_arrScanned;
  // The texts of the rules described so far.
  struct RuleTexts;
  std::shared_ptr<RuleTexts> m_ruleTexts;
};
