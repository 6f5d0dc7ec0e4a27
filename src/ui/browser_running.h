// Whether a browser runs: some top-level window of its main-window class belongs to
// a process whose executable has the browser's file name.
#pragma once

#include <windows.h>

#include "model/scanner.h"

namespace ui {

struct BrowserProcess {
  Browser browser;
  const wchar_t* window_class;
  const wchar_t* executable;
  // The name the running prompt uses.
  const wchar_t* display_name;
};

// The entry of a browser, or null for Flash, which is never tested.
const BrowserProcess* FindBrowserProcess(Browser browser);

// Both names compared without regard to case; the search stops at the first match.
// A window whose process cannot be opened, or whose module name cannot be read,
// does not match.
BOOL IsBrowserRunning(const wchar_t* window_class, const wchar_t* executable);

}  // namespace ui
