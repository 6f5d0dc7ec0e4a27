#include "ui/browser_running.h"

#include <psapi.h>

#include <cwchar>
#include <cwctype>
#include <string>

namespace ui {

namespace {

struct Search {
  const BrowserProcessNames* names;
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

bool IsOneOfTheClasses(HWND hwnd, const BrowserProcessNames& names) {
  wchar_t class_name[128] = {};
  if (GetClassNameW(hwnd, class_name, 128) == 0) return false;
  for (const wchar_t* window_class : names.window_classes) {
    if (_wcsicmp(class_name, window_class) == 0) return true;
  }
  return false;
}

std::wstring Lowered(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

// The process's first module is its executable: its file name, and its full path
// when the row names a folder.
bool RunsTheExecutable(HANDLE process, const BrowserProcessNames& names) {
  HMODULE first_module = nullptr;
  DWORD needed = 0;
  if (!EnumProcessModules(process, &first_module, sizeof first_module, &needed)) return false;
  wchar_t module_name[MAX_PATH] = {};
  if (GetModuleBaseNameW(process, first_module, module_name, MAX_PATH) == 0 ||
      _wcsicmp(module_name, names.executable) != 0) {
    return false;
  }
  if (names.folder == nullptr) return true;
  std::wstring path(32768, L'\0');
  const DWORD length = GetModuleFileNameExW(process, first_module, path.data(),
                                            static_cast<DWORD>(path.size()));
  if (length == 0) return false;
  path.resize(length);
  return Lowered(path).find(Lowered(names.folder)) != std::wstring::npos;
}

BOOL CALLBACK VisitWindow(HWND hwnd, LPARAM lparam) {
  Search* search = reinterpret_cast<Search*>(lparam);
  if (!IsOneOfTheClasses(hwnd, *search->names)) return TRUE;
  DWORD process_id = 0;
  GetWindowThreadProcessId(hwnd, &process_id);
  const ProcessHandle process(
      OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, process_id));
  if (!process.valid() || !RunsTheExecutable(process.get(), *search->names)) return TRUE;
  search->found = TRUE;
  return FALSE;
}

}  // namespace

const BrowserProcessNames* FindBrowserProcess(Browser browser) {
  const BrowserProcessNames& names = BrowserOf(browser).process;
  return names.window_classes.empty() ? nullptr : &names;
}

BOOL IsBrowserRunning(const BrowserProcessNames& names) {
  if (names.window_classes.empty() || names.executable == nullptr) return FALSE;
  Search search = {&names, FALSE};
  EnumWindows(VisitWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace ui
