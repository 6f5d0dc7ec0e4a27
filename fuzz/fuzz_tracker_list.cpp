// A tracker list read from any bytes. Every domain taken is a host name as
// NormalizeHostName gives it, stands in the text (in any letter case), is found
// under its own index, and is the rule the filter gives for itself as a site.
#include <string>
#include <string_view>
#include <vector>

#include "model/filter.h"
#include "model/tracker_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string lower(text);
  for (char& c : lower) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c | 0x20) : c;
  std::vector<CTrackerList> lists;
  lists.emplace_back(L"list", text);
  const CTrackerList& list = lists[0];
  std::string name;
  for (size_t i = 0; i < list.size(); ++i) {
    const std::string_view domain = list.domain(i);
    if (!CTrackerList::NormalizeHostName(domain, &name) || name != domain) __builtin_trap();
    if (lower.find(domain) == std::string::npos) __builtin_trap();
    if (list.Find(domain) != i) __builtin_trap();
  }
  const CCookieFilter filter(L"", std::move(lists), CTrackerList());
  const CTrackerList& held = filter.lists()[0];
  for (size_t i = 0; i < held.size(); ++i) {
    if (filter.Find(held.domain(i)) != CCookieFilter::Rule{0, i}) __builtin_trap();
  }
  return 0;
}
