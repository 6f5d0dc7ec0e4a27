#include "ui/system_calls.h"

#include <commdlg.h>

#include <cstdarg>
#include <cwchar>
#include <cwctype>
#include <vector>

namespace ui {

namespace {

SystemCalls DefaultSystemCalls() {
  SystemCalls calls;
  calls.message_box = [](HWND owner, const std::wstring& text, const std::wstring& caption,
                         UINT type) { return MessageBoxW(owner, text.c_str(), caption.c_str(), type); };
  calls.notify_icon = [](DWORD message, NOTIFYICONDATAW* data) {
    return Shell_NotifyIconW(message, data);
  };
  calls.shell_open = [](const wchar_t* verb, const std::wstring& file) {
    ShellExecuteW(nullptr, verb, file.c_str(), L"", L"", SW_SHOWNORMAL);
  };
  calls.open_file = [](HWND owner, const wchar_t* filter, std::wstring* path) {
    std::vector<wchar_t> name(32768, L'\0');
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter;
    dialog.lpstrFile = name.data();
    dialog.nMaxFile = static_cast<DWORD>(name.size());
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_DONTADDTORECENT;
    if (!GetOpenFileNameW(&dialog)) return false;
    *path = name.data();
    return true;
  };
  return calls;
}

}  // namespace

SystemCalls& GetSystemCalls() {
  static SystemCalls calls = DefaultSystemCalls();
  return calls;
}

void ResetSystemCalls() { GetSystemCalls() = DefaultSystemCalls(); }

int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) {
  return GetSystemCalls().message_box(owner, text, caption, type);
}

int MessageBoxFormat(HWND owner, const wchar_t* caption, UINT type, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  va_list measure;
  va_copy(measure, args);
  const int length = _vscwprintf(format, measure);
  va_end(measure);
  if (length <= 0) {
    va_end(args);
    return 0;
  }
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 3, L'\0');
  const int written = _vsnwprintf(buffer.data(), buffer.size() - 1, format, args);
  va_end(args);
  if (written <= 0) return 0;
  std::wstring text(buffer.data(), static_cast<size_t>(written));
  while (!text.empty() && std::iswspace(text.back())) text.pop_back();
  return ShowMessageBox(owner, text, caption, type);
}

std::wstring ModulePath() {
  std::vector<wchar_t> buffer(520, L'\0');
  for (;;) {
    const DWORD got = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (got == 0) return std::wstring();
    if (got < buffer.size()) return std::wstring(buffer.data(), got);
    buffer.assign(buffer.size() * 2, L'\0');
  }
}

}  // namespace ui
