// What a user data folder's "Local State" and a Firefox cookie's originAttributes
// give, on any bytes: the profile list stays within the folders that exist (a
// "Local State" only names them), and the attribute text is read to its end.
#include <string>

#include "fuzz_file.h"
#include "stores/chromium/chromium.h"
#include "stores/firefox/firefox.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::wstring state = WriteInputFile(data, size, "Local State");
  const std::wstring user_data = state.substr(0, state.rfind(L'/'));
  // The folder holds the input and no profile: whatever the input names, none is
  // listed.
  if (!ChromiumProfiles(user_data, false).empty()) __builtin_trap();
  if (!ChromiumProfiles(user_data, true).empty()) __builtin_trap();
  DescribeOriginAttributes(std::string(reinterpret_cast<const char*>(data), size));
  return 0;
}
