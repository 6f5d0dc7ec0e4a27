// The cache index reader on any bytes as index.dat: it must stay inside the
// mapped file and its walk must end.
#include <cstring>
#include <string>

#include "fuzz_file.h"
#include "model/cookie.h"
#include "stores/ie/cache_index.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::wstring path = WriteInputFile(data, size, "index.dat");
  CCacheIndex index;
  if (!index.Open(path)) return 0;
  const char *url, *subfolder, *file_name;
  size_t entries = 0;
  while (index.Next(&url, &subfolder, &file_name)) {
    // The texts handed out are the file's own, each ended by a NUL inside it
    // (reads past the end of a mapping would still see the zeros of its last page).
    for (const char* text : {url, file_name}) {
      if (input.find(std::string(text, std::strlen(text) + 1)) == std::string::npos) __builtin_trap();
    }
    if (std::strlen(subfolder) > 8) __builtin_trap();
    CIEUserdata item;
    item.SetSiteFromUrl(url);
    // The walk examines at most one hash entry per 8 bytes of the file.
    if (++entries > size / 8) __builtin_trap();
  }
  return 0;
}
