#include "app/settings.h"

#include <vector>

#include "text/local_time.h"
#include "platform/platform.h"

namespace {

constexpr int64_t kSecondsPerDay = 86400;

}  // namespace

uint32_t CtrackscrubApp::GetRegDWORD(const wchar_t* name, uint32_t default_value) {
  platform::RegKey key;
  if (platform::RegKey::Create(kSettingsKey, platform::RegAccess::kRead, &key) !=
      platform::kErrorSuccess) {
    return default_value;
  }
  uint8_t data[4] = {};
  uint32_t size = sizeof data;
  uint32_t type = 0;
  if (key.QueryValue(name, &type, data, &size) != platform::kErrorSuccess ||
      type != platform::kRegDword || size != sizeof data) {
    return default_value;
  }
  return static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
         static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24;
}

void CtrackscrubApp::SetRegDWORD(const wchar_t* name, uint32_t value) {
  platform::RegKey key;
  if (platform::RegKey::Create(kSettingsKey, platform::RegAccess::kWrite, &key) !=
      platform::kErrorSuccess) {
    return;
  }
  const uint8_t data[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                           static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
  key.SetValue(name, platform::kRegDword, data, sizeof data);
}

std::wstring CtrackscrubApp::GetRegString(const wchar_t* name, const std::wstring& default_value) {
  platform::RegKey key;
  if (platform::RegKey::Create(kSettingsKey, platform::RegAccess::kRead, &key) !=
      platform::kErrorSuccess) {
    return default_value;
  }
  uint32_t type = 0;
  uint32_t size = 0;
  if (key.QueryValue(name, &type, nullptr, &size) != platform::kErrorSuccess ||
      type != platform::kRegSz || size <= 1) {
    return default_value;
  }
  std::vector<uint8_t> buffer(size);
  uint32_t read = size;
  if (key.QueryValue(name, &type, buffer.data(), &read) != platform::kErrorSuccess ||
      type != platform::kRegSz) {
    return default_value;
  }
  // The registry holds UTF-16 code units; cut at the last whole one so that a value
  // stored without its terminator cannot be read past its end.
  const size_t units = size / 2;
  std::wstring text;
  text.reserve(units);
  for (size_t i = 0; i + 1 < units; ++i) {
    const auto unit = static_cast<wchar_t>(buffer[2 * i] | buffer[2 * i + 1] << 8);
    if (unit == L'\0') break;
    text += unit;
  }
  return text;
}

void CtrackscrubApp::SetRegString(const wchar_t* name, const wchar_t* text) {
  platform::RegKey key;
  if (platform::RegKey::Create(kSettingsKey, platform::RegAccess::kWrite, &key) !=
      platform::kErrorSuccess) {
    return;
  }
  if (text == nullptr) {
    key.DeleteValue(name);
    return;
  }
  std::vector<uint8_t> data;
  for (const wchar_t* p = text;; ++p) {
    // Stored as UTF-16 little-endian whatever the width of wchar_t.
    const auto unit = static_cast<uint32_t>(*p);
    data.push_back(static_cast<uint8_t>(unit));
    data.push_back(static_cast<uint8_t>(unit >> 8));
    if (*p == L'\0') break;
  }
  key.SetValue(name, platform::kRegSz, data.data(), static_cast<uint32_t>(data.size()));
}

std::wstring CtrackscrubApp::GetFilter() { return GetRegString(kValueFilter, DefaultFilterText()); }

bool CtrackscrubApp::IsBrowserEnabled(Browser browser) {
  return GetRegDWORD(BrowserOf(browser).switch_name, 1) != 0;
}

void CtrackscrubApp::RestoreDefaults() {
  SetRegString(kValueFilter, nullptr);
  for (const BrowserInfo& browser : Browsers()) SetRegString(browser.switch_name, nullptr);
}

int CtrackscrubApp::GetDaysToNextClean() {
  return GetDaysToNextClean(platform::GetSystemTimeAsFileTime());
}

int CtrackscrubApp::GetDaysToNextClean(uint64_t now_filetime) {
  const uint64_t last_filetime = GetLastClean();
  int64_t last = 0;
  int64_t now = 0;
  // No recorded clean counts as one in 1970, long overdue, whatever the time zone.
  if (last_filetime != 0 && !CalendarTimeFromFileTime(last_filetime, &last)) return 0;
  if (!CalendarTimeFromFileTime(now_filetime, &now)) return 0;
  const uint32_t frequency = GetRegDWORD(kValueCleanFrequency, kDefaultCleanFrequency);
  const uint32_t period = GetRegDWORD(kValueCleanPeriod, kDefaultCleanPeriod);
  // The interval is a signed 32-bit product, as it always was.
  const auto interval = static_cast<int32_t>(frequency * period);
  const int64_t next = last + interval;
  return static_cast<int>((next - now) / kSecondsPerDay);
}

void CtrackscrubApp::RecordClean() {
  const uint64_t now = platform::GetSystemTimeAsFileTime();
  SetRegDWORD(kValueLastCleanHigh, static_cast<uint32_t>(now >> 32));
  SetRegDWORD(kValueLastCleanLow, static_cast<uint32_t>(now));
}

bool CtrackscrubApp::HasRecordedClean() { return GetLastClean() != 0; }

uint64_t CtrackscrubApp::GetLastClean() {
  return static_cast<uint64_t>(GetRegDWORD(kValueLastCleanHigh, 0)) << 32 |
         GetRegDWORD(kValueLastCleanLow, 0);
}
