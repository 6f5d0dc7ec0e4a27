// The application profile: integer values of the program's own, kept per section
// under HKEY_CURRENT_USER\Software\Trackscrub\<application name>\<section>.
#pragma once

#include <cstdint>

namespace ui {

// The application name below the settings key. Fixed, so that renaming the
// executable does not lose the profile.
inline constexpr wchar_t kApplicationName[] = L"trackscrub";

inline constexpr wchar_t kSectionSettings[] = L"Settings";
// The minute (since 1970-01-01 UTC) of the last version check.
inline constexpr wchar_t kEntryLastVersionCheck[] = L"LastVerChk";

// A REG_DWORD entry, else `default_value`.
uint32_t ReadAppProfileInt(const wchar_t* section, const wchar_t* entry, uint32_t default_value);
// Failures are silent.
void WriteAppProfileInt(const wchar_t* section, const wchar_t* entry, uint32_t value);

}  // namespace ui
