// Helpers of the stores that keep a site's storage as a folder of its own (the
// Chromium family's IndexedDB, Firefox's per-site storage): what a site folder
// shows in a scan, and its link-safe removal in a clean.
#pragma once

#include <string>

namespace site_folders {

// True when `name` ends in `suffix`, letters compared without regard to case (as
// Windows compares names).
bool EndsWithNoCase(const std::wstring& name, const std::wstring& suffix);

// The files below `folder`, counted through platform::FindFiles (links are never
// listed, so never entered); folders deeper than a fixed limit are not searched.
// 0 for a missing folder.
int CountFiles(const std::wstring& folder);

// "1 file", "12 files".
std::wstring FilesText(int files);

// Removes the folder `path` with everything in it, as the Flash store removes a
// site folder (platform::ShellDelete: links inside are removed as entries, never
// followed). A folder that is itself a link or reparse point is left alone. True
// only when nothing is left at `path` afterwards; true as well when nothing was
// there.
bool RemoveSiteFolder(const std::wstring& path);

}  // namespace site_folders
