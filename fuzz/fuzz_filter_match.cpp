// The filter's Match against a plain recursive matcher that follows the pattern
// rules one character at a time. Input: site, a NUL byte, pattern (bytes as
// characters).
#include <string>

#include "model/filter.h"

namespace {

bool Reference(const wchar_t* site, const wchar_t* pattern) {
  switch (*pattern) {
    case L'\0':
      return *site == L'\0';
    case L'*': {
      while (*pattern == L'*') ++pattern;
      if (*pattern == L'\0') return true;
      for (; *site != L'\0'; ++site) {
        if (Reference(site, pattern)) return true;
      }
      return false;
    }
    case L'+':
      while (*pattern == L'+') ++pattern;
      while (*site != L'\0' && *site != L'.') ++site;
      return Reference(site, pattern);
    case L'?':
      return *site != L'\0' && Reference(site + 1, pattern + 1);
    default:
      return *site == *pattern && Reference(site + 1, pattern + 1);
  }
}

}  // namespace

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
      match != Reference(site.c_str(), pattern.c_str())) {
    __builtin_trap();
  }
  return 0;
}
