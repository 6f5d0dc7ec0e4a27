// A profile's Cookies database, any bytes: the Chromium store's scan and clean read
// it through the distrusting connection and never crash, hang or run away; a scan
// leaves the file as it was.
#include <string>

#include "fuzz_file.h"
#include "platform/platform.h"
#include "stores/chromium/chromium.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::wstring path = WriteInputFile(data, size, "Cookies");
  // What an earlier input's connection left beside it is not this input's.
  for (const wchar_t* suffix : {L"-wal", L"-journal", L"-shm"}) platform::RemoveFile(path + suffix);
  const CCookieFilter filter(L"*.doubleclick.net\n*.tracker.example\n*\n");
  CChromiumCookieArray items;
  ProcessChromiumCookieDatabase(path, 0, L"Default", filter, items, false);
  if (ReadBack(path) != std::string(reinterpret_cast<const char*>(data), size)) __builtin_trap();
  CChromiumCookieArray scratch;
  ProcessChromiumCookieDatabase(path, 0, L"Default", filter, scratch, true);
  return 0;
}
