#include "ui/dpi.h"

#include "ui/dialog.h"

namespace ui {

namespace {

// A function of user32 that older systems lack (both below came with Windows 10
// 1607); null where it is missing.
template <typename Function>
Function User32Function(const char* name) {
  const HMODULE user32 = GetModuleHandleW(L"user32.dll");
  return user32 == nullptr ? nullptr
                           : reinterpret_cast<Function>(
                                 reinterpret_cast<void*>(GetProcAddress(user32, name)));
}

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);

UINT ScreenDpi() {
  const HDC screen = GetDC(nullptr);
  const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : kBaseDpi;
}

}  // namespace

int Scale(int pixels, UINT dpi) { return MulDiv(pixels, static_cast<int>(dpi), kBaseDpi); }

UINT WindowDpi(HWND hwnd) {
  static const auto function = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
  const UINT dpi = function != nullptr ? function(hwnd) : 0;
  return dpi != 0 ? dpi : ScreenDpi();
}

int SystemMetric(int index, UINT dpi) {
  static const auto function = User32Function<GetSystemMetricsForDpiFn>("GetSystemMetricsForDpi");
  if (function != nullptr) return function(index, dpi);
  return MulDiv(GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(ScreenDpi()));
}

Icon LoadIconAt(int id, int size) {
  // Not shared: the system's cache of shared icons answers with the first size
  // it loaded, whatever the size asked for.
  return Icon(static_cast<HICON>(LoadImageW(ResourceModule(), MAKEINTRESOURCEW(id), IMAGE_ICON,
                                            size, size, LR_DEFAULTCOLOR)));
}

}  // namespace ui
