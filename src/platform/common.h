// Helpers shared by the seam's implementations; not for the core.
#pragma once

#include <string>

#include "platform/platform.h"

namespace platform {

// The known folder below the profile root set with SetProfileRoot; false when no
// root is set.
bool KnownFolderUnderRoot(KnownFolder folder, std::wstring* path);

// The text with its letters in one case, as the system compares file names and
// INI sections and keys without regard to case.
std::wstring FoldCase(const std::wstring& text);

// The subkey below HKEY_CURRENT_USER that `subkey` stands for (see
// SetRegistryTestRoot).
std::wstring RegistryPath(const std::wstring& subkey);

// Runs the hook tests set with SetReplaceHookForTests (race_hook.h), if any, on
// the path about to be replaced or deleted.
void RunReplaceHook(const std::wstring& path);

}  // namespace platform
