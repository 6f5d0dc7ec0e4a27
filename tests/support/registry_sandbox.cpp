#include "support/registry_sandbox.h"

#include <atomic>
#include <chrono>

#include "app/settings.h"
#include "platform/platform.h"

RegistrySandbox::RegistrySandbox() {
  static std::atomic<int> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  root_ = L"Software\\TrackscrubTest-" + std::to_wstring(stamp) + L"-" +
          std::to_wstring(counter++);
  platform::SetRegistryTestRoot(root_);
}

RegistrySandbox::~RegistrySandbox() {
  platform::SetRegistryTestRoot(L"");
  platform::RegDeleteKeyTree(root_);
}

void RegistrySandbox::SetRaw(const wchar_t* name, uint32_t type, const std::string& bytes) {
  platform::RegKey key;
  ASSERT_EQ(platform::RegKey::Create(kSettingsKey, platform::RegAccess::kWrite, &key),
            platform::kErrorSuccess);
  // Windows quietly counts a string's terminator when the caller left it out but it
  // follows in memory; non-zero bytes behind the value keep the value exactly as given.
  const std::string buffer = bytes + "ZZ";
  ASSERT_EQ(key.SetValue(name, type, reinterpret_cast<const uint8_t*>(buffer.data()),
                         static_cast<uint32_t>(bytes.size())),
            platform::kErrorSuccess);
}

std::string RegistrySandbox::Utf16(const std::wstring& text, bool terminator) {
  std::string bytes;
  for (wchar_t c : text) {
    bytes += static_cast<char>(static_cast<uint32_t>(c) & 0xFF);
    bytes += static_cast<char>((static_cast<uint32_t>(c) >> 8) & 0xFF);
  }
  if (terminator) bytes.append(2, '\0');
  return bytes;
}
