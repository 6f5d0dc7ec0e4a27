// Start at login: the value "Trackscrub" of the user's Run key. Its presence alone
// means that automatic cleaning is on.
#pragma once

#include <string>

namespace ui {

inline constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kRunValue[] = L"Trackscrub";

// The Run value's data: the executable's path in double quotes, a blank, "/auto".
std::wstring AutostartCommand(const std::wstring& executable);

// True when the Run key holds a REG_SZ "Trackscrub" of non-zero size, wherever it
// points.
bool IsAutostartEnabled();

// Writes (enable) or deletes the value. The Run key is not created; every failure
// is silent, and the caller finds the outcome by asking IsAutostartEnabled again.
void SetAutostart(bool enable, const std::wstring& executable);

}  // namespace ui
