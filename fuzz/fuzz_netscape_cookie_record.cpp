// The Netscape cookie line reader (cookies.txt) on any bytes.
#include "fuzz_file.h"
#include "model/cookie.h"
#include "text/textfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::wstring path = WriteInputFile(data, size, "cookies.txt");
  try {
    CStdioFile file(path);
    CFirefoxCookie cookie;
    size_t records = 0;
    while (cookie.ReadFrom(file)) {
      if (cookie.m_strSite != cookie.m_strDomain + cookie.m_strPath) __builtin_trap();
      cookie.GetExpires();
      // Every cookie line holds at least its six tabs.
      if (++records * 6 > size) __builtin_trap();
    }
  } catch (const CFileException&) {
  }
  return 0;
}
