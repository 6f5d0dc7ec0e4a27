// The cookie plist scanner and its rewrite on any bytes as Cookies.plist.
#include <string>

#include "fuzz_file.h"
#include "stores/safari/safari_plist.h"

namespace {

// An entry can only start at a line holding "<dict>" in some letter case.
bool MayHoldEntry(std::string bytes) {
  for (char& c : bytes) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return bytes.find("<dict>") != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::wstring path = WriteInputFile(data, size, "Cookies.plist");
  const CCookieFilter filter(L"*.t*\n*a\n");
  CSafariCookieArray items;
  const int found = ProcessSafariCookieFile(path, filter, items, false);
  if (ReadBack(path) != input) __builtin_trap();  // a scan changes nothing
  if (found != static_cast<int>(items.size())) __builtin_trap();
  CSafariCookieArray scratch;
  const int cleaned = ProcessSafariCookieFile(path, filter, scratch, true);
  if (cleaned != found || !scratch.empty()) __builtin_trap();
  // A file without an entry, or with nothing evil, is never rewritten.
  if ((!MayHoldEntry(input) || found == 0) && ReadBack(path) != input) __builtin_trap();
  // What a clean leaves is shorter exactly when it removed something.
  if ((cleaned > 0) != (ReadBack(path).size() < input.size())) __builtin_trap();
  return 0;
}
