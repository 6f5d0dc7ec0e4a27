// The filter's Match against a plain recursive matcher that follows the pattern
// rules one character at a time. Input: site, a NUL byte, pattern (bytes as
// characters).
#include <string>

#include "model/filter.h"
#include "support/reference_match.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::wstring site, pattern;
  bool in_pattern = false;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      in_pattern = true;
      continue;
    }
    (in_pattern ? pattern : site) += static_cast<wchar_t>(data[i]);
  }
  const bool match = CCookieFilter::Match(site.c_str(), pattern.c_str());
  // The plain matcher takes exponential time with many stars: compare short inputs.
  if (site.size() <= 12 && pattern.size() <= 10 &&
      match != ReferenceMatch(site.c_str(), pattern.c_str())) {
    __builtin_trap();
  }
  return 0;
}
