#include "ui/browser_running.h"

#include <psapi.h>

#include <cwchar>

namespace ui {

namespace {

struct Search {
  const wchar_t* window_class;
  const wchar_t* executable;
  BOOL found;
};

// A process handle, closed on every path out.
class ProcessHandle {
 public:
  explicit ProcessHandle(HANDLE handle) : handle_(handle) {}
  ProcessHandle(const ProcessHandle&) = delete;
  ProcessHandle& operator=(const ProcessHandle&) = delete;
  ~ProcessHandle() {
    if (valid()) CloseHandle(handle_);
  }
  bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

BOOL CALLBACK VisitWindow(HWND hwnd, LPARAM lparam) {
  Search* search = reinterpret_cast<Search*>(lparam);
  wchar_t class_name[128] = {};
  if (GetClassNameW(hwnd, class_name, 128) == 0 ||
      _wcsicmp(class_name, search->window_class) != 0) {
    return TRUE;
  }
  DWORD process_id = 0;
  GetWindowThreadProcessId(hwnd, &process_id);
  const ProcessHandle process(
      OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, process_id));
  if (!process.valid()) return TRUE;
  wchar_t module_name[128] = {};
  HMODULE first_module = nullptr;
  DWORD needed = 0;
  if (EnumProcessModules(process.get(), &first_module, sizeof first_module, &needed)) {
    GetModuleBaseNameW(process.get(), first_module, module_name, 128);
  }
  if (_wcsicmp(module_name, search->executable) == 0) {
    search->found = TRUE;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

const BrowserProcessNames* FindBrowserProcess(Browser browser) {
  const BrowserProcessNames& names = BrowserOf(browser).process;
  return names.window_class != nullptr ? &names : nullptr;
}

BOOL IsBrowserRunning(const wchar_t* window_class, const wchar_t* executable) {
  Search search = {window_class, executable, FALSE};
  EnumWindows(VisitWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace ui
