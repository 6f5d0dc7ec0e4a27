#include "ui/autostart.h"

#include <cstdint>

#include "platform/platform.h"

namespace ui {

std::wstring AutostartCommand(const std::wstring& executable) {
  return L"\"" + executable + L"\" /auto";
}

bool IsAutostartEnabled() {
  platform::RegKey key;
  if (platform::RegKey::Open(kRunKey, platform::RegAccess::kRead, &key) != platform::kErrorSuccess) {
    return false;
  }
  uint32_t type = platform::kRegNone;
  uint32_t size = 0;
  if (key.QueryValue(kRunValue, &type, nullptr, &size) != platform::kErrorSuccess) return false;
  return type == platform::kRegSz && size > 0;
}

void SetAutostart(bool enable, const std::wstring& executable) {
  platform::RegKey key;
  if (platform::RegKey::Open(kRunKey, platform::RegAccess::kWrite, &key) != platform::kErrorSuccess) {
    return;
  }
  if (!enable) {
    key.DeleteValue(kRunValue);
    return;
  }
  const std::wstring command = AutostartCommand(executable);
  key.SetValue(kRunValue, platform::kRegSz, reinterpret_cast<const uint8_t*>(command.c_str()),
               static_cast<uint32_t>((command.size() + 1) * sizeof(wchar_t)));
}

}  // namespace ui
