// The few shell calls whose effects reach beyond the program's own windows: message
// boxes, the notification-area icon, opening a file or address and choosing a file. Every window goes
// through these functions, so that a test can answer a message box or watch the
// notification icon without a person or a taskbar.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>

namespace ui {

struct SystemCalls {
  // MessageBoxW.
  std::function<int(HWND owner, const std::wstring& text, const std::wstring& caption,
                    UINT type)>
      message_box;
  // Shell_NotifyIconW.
  std::function<BOOL(DWORD message, NOTIFYICONDATAW* data)> notify_icon;
  // ShellExecuteW with no owner, empty parameters and directory, SW_SHOWNORMAL;
  // `verb` may be null (the default verb).
  std::function<void(const wchar_t* verb, const std::wstring& file)> shell_open;
  // GetOpenFileNameW for one existing file, with `filter` as its lpstrFilter; false
  // when the user chose none.
  std::function<bool(HWND owner, const wchar_t* filter, std::wstring* path)> open_file;
};

// The calls in force; tests replace members and restore them with
// ResetSystemCalls().
SystemCalls& GetSystemCalls();
void ResetSystemCalls();

int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption,
                   UINT type);

// Formats the text, cuts trailing white space and shows it in a message box. Shows
// nothing (and returns 0) when the text is empty or cannot be formatted.
int MessageBoxFormat(HWND owner, const wchar_t* caption, UINT type, const wchar_t* format,
                     ...);

// The full path of the program's own executable.
std::wstring ModulePath();

}  // namespace ui
