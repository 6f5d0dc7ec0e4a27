// Whether a browser runs: some top-level window of one of its main-window classes
// belongs to a process whose executable has the browser's file name (and lies in
// the browser's folder, where its row names one).
#pragma once

#include <windows.h>

#include "scan/browsers.h"

namespace ui {

// The names of a browser from its row of the table, or null for one that is never
// tested (a row without window classes: Flash).
const BrowserProcessNames* FindBrowserProcess(Browser browser);

// Class, file name and folder are compared without regard to case; the folder is
// looked for anywhere in the full path of the process's first module. The search
// stops at the first match. A window whose process cannot be opened, or whose
// module name cannot be read, does not match.
BOOL IsBrowserRunning(const BrowserProcessNames& names);

}  // namespace ui
