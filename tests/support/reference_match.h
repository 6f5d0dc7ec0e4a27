// The filter's wildcard rules as a plain recursive matcher, one pattern character
// at a time: the reference the bounded matcher must agree with. Exponential with
// many stars, so only for short inputs.
#pragma once

inline bool ReferenceMatch(const wchar_t* site, const wchar_t* pattern) {
  switch (*pattern) {
    case L'\0':
      return *site == L'\0';
    case L'*': {
      while (*pattern == L'*') ++pattern;
      if (*pattern == L'\0') return true;
      for (; *site != L'\0'; ++site) {
        if (ReferenceMatch(site, pattern)) return true;
      }
      return false;
    }
    case L'+':
      while (*pattern == L'+') ++pattern;
      while (*site != L'\0' && *site != L'.') ++site;
      return ReferenceMatch(site, pattern);
    case L'?':
      return *site != L'\0' && ReferenceMatch(site + 1, pattern + 1);
    default:
      return *site == *pattern && ReferenceMatch(site + 1, pattern + 1);
  }
}
