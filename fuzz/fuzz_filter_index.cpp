// The filter's index against the plain reading, one pattern and one domain at a
// time. Input, split at NUL bytes (each byte one character): the site, the filter
// text, the keep list, then tracker lists. The rule found must be the plain one:
// none at or below a keep-list domain; else the first pattern that matches; else the
// first list holding the site or a domain above it (its longest such domain). The
// site as bytes must give what it gives as characters.
#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/filter.h"

namespace {

using Rule = CCookieFilter::Rule;

// The index of the longest domain of `list` that is `site` (with its leading period)
// or lies above it, compared in lower case.
std::optional<size_t> Longest(const CTrackerList& list, const std::wstring& site) {
  std::wstring lower = site;
  for (wchar_t& c : lower) c = c >= L'A' && c <= L'Z' ? c | 0x20 : c;
  std::optional<size_t> found;
  for (size_t i = 0; i < list.size(); ++i) {
    const std::string_view domain = list.domain(i);
    const std::wstring tail = L"." + std::wstring(domain.begin(), domain.end());
    if (lower.ends_with(tail) && (!found || list.domain(*found).size() < domain.size())) found = i;
  }
  return found;
}

std::optional<Rule> PlainRule(const CCookieFilter& filter, std::wstring_view text) {
  std::wstring site(text.substr(0, text.find(L'/')));
  if (site.empty()) return std::nullopt;
  if (site[0] != L'.') site.insert(0, L".");
  if (Longest(filter.keep(), site)) return std::nullopt;
  for (size_t i = 0; i < filter.patterns().size(); ++i) {
    if (CCookieFilter::Match(site, filter.patterns()[i])) return Rule{-1, i};
  }
  for (size_t list = 0; list < filter.lists().size(); ++list) {
    if (const auto i = Longest(filter.lists()[list], site)) return Rule{static_cast<int>(list), *i};
  }
  return std::nullopt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1024) return 0;  // the plain reading is slow on long inputs
  std::vector<std::string> parts(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      parts.emplace_back();
    } else {
      parts.back() += static_cast<char>(data[i]);
    }
  }
  parts.resize(std::max<size_t>(parts.size(), 3));
  const auto wide = [](const std::string& bytes) {
    std::wstring text;
    for (const char c : bytes) text += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return text;
  };
  std::vector<CTrackerList> lists;
  for (size_t i = 3; i < parts.size(); ++i) lists.emplace_back(L"list", parts[i]);
  const CCookieFilter filter(wide(parts[1]), std::move(lists), CTrackerList(L"keep", parts[2]));
  const std::wstring site = wide(parts[0]);
  const std::optional<Rule> rule = filter.Find(std::wstring_view(site));
  if (rule != PlainRule(filter, site)) __builtin_trap();
  if (filter.Find(std::string_view(parts[0])) != rule) __builtin_trap();
  return 0;
}
