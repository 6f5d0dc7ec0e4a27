// The nine-line Internet Explorer cookie record reader on any bytes.
#include "fuzz_file.h"
#include "model/cookie.h"
#include "text/textfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::wstring path = WriteInputFile(data, size, "user@site[1].txt");
  try {
    CStdioFile file(path);
    CIECookie cookie;
    size_t records = 0;
    while (cookie.ReadFrom(file)) {
      cookie.GetExpires();
      cookie.GetDisplaySite();
      // Every record takes at least its nine line ends.
      if (++records * 9 > size) __builtin_trap();
    }
  } catch (const CFileException&) {
  }
  return 0;
}
