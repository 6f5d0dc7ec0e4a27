#include "ui/app_profile.h"

#include <string>

#include "app/settings.h"
#include "platform/platform.h"

namespace ui {

namespace {

std::wstring SectionKey(const wchar_t* section) {
  return std::wstring(kSettingsKey) + L"\\" + kApplicationName + L"\\" + section;
}

}  // namespace

uint32_t ReadAppProfileInt(const wchar_t* section, const wchar_t* entry, uint32_t default_value) {
  platform::RegKey key;
  if (platform::RegKey::Open(SectionKey(section), platform::RegAccess::kRead, &key) !=
      platform::kErrorSuccess) {
    return default_value;
  }
  uint32_t type = platform::kRegNone;
  uint32_t value = 0;
  uint32_t size = sizeof value;
  if (key.QueryValue(entry, &type, reinterpret_cast<uint8_t*>(&value), &size) !=
          platform::kErrorSuccess ||
      type != platform::kRegDword || size != sizeof value) {
    return default_value;
  }
  return value;
}

void WriteAppProfileInt(const wchar_t* section, const wchar_t* entry, uint32_t value) {
  platform::RegKey key;
  if (platform::RegKey::Create(SectionKey(section), platform::RegAccess::kWrite, &key) !=
      platform::kErrorSuccess) {
    return;
  }
  key.SetValue(entry, platform::kRegDword, reinterpret_cast<const uint8_t*>(&value), sizeof value);
}

}  // namespace ui
