// The filter's reading of its text. Input: the filter file's bytes, one character
// each, as the console front end reads them. Every line of the text is either a
// pattern (the whole line), skipped (empty or a comment) or reported as ignored,
// and a pattern never holds a NUL.
#include <string>

#include "model/filter.h"
#include "text/textfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::wstring text = WideFromBytes(std::string(reinterpret_cast<const char*>(data), size));
  const CCookieFilter filter(text);
  size_t lines = 0;
  size_t blank_or_comment = 0;
  for (size_t pos = 0; pos < text.size(); ++lines) {
    size_t end = text.find(L'\n', pos);
    if (end == std::wstring::npos) end = text.size();
    if (end == pos || text[pos] == L'#') ++blank_or_comment;
    pos = end + 1;
  }
  size_t last_line = 0;
  for (const CCookieFilter::IgnoredLine& ignored : filter.ignored()) {
    if (ignored.line <= last_line || ignored.line > lines) __builtin_trap();
    last_line = ignored.line;
  }
  for (const std::wstring& pattern : filter.patterns()) {
    if (pattern.empty() || pattern.find(L'\0') != std::wstring::npos) __builtin_trap();
    if (pattern.find(L'\n') != std::wstring::npos) __builtin_trap();
    // The whole line, as it stands in the text.
    if (text.find(pattern) == std::wstring::npos) __builtin_trap();
  }
  // A mark at the start may turn the first line into an empty or comment line, or
  // be all of the text.
  const size_t counted = filter.patterns().size() + filter.ignored().size() + blank_or_comment;
  if (counted > lines || counted + 1 < lines) __builtin_trap();
  CIECookie item;
  item.m_strSite = text.substr(0, 64);
  filter.IsEvil(item);
  return 0;
}
