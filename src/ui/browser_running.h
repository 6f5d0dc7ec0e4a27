// Whether a browser runs: some top-level window of its main-window class belongs to
// a process whose executable has the browser's file name.
#pragma once

#include <windows.h>

#include "scan/browsers.h"

namespace ui {

// The names of a browser from its row of the table, or null for one that is never
// tested (Flash).
const BrowserProcessNames* FindBrowserProcess(Browser browser);

// Both names compared without regard to case; the search stops at the first match.
// A window whose process cannot be opened, or whose module name cannot be read,
// does not match.
BOOL IsBrowserRunning(const wchar_t* window_class, const wchar_t* executable);

}  // namespace ui
