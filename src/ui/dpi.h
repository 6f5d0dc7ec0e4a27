// Pixels at the scale of the monitor a window is on. Every size the program gives
// in pixels is a size at 96 DPI (100 %) passed through Scale(); dialog templates
// are in dialog units and follow the font by themselves.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace ui {

inline constexpr UINT kBaseDpi = 96;

// `pixels` at 96 DPI expressed at `dpi`, rounded to the nearest pixel.
int Scale(int pixels, UINT dpi);

// The DPI of the monitor the window is on: GetDpiForWindow where the system has
// it, else the screen's LOGPIXELSX (one DPI for every monitor).
UINT WindowDpi(HWND hwnd);

// A system metric (GetSystemMetrics' index) at `dpi`: GetSystemMetricsForDpi
// where the system has it, else the metric at the screen's DPI scaled to `dpi`.
int SystemMetric(int index, UINT dpi);

// The side of a small icon (16 pixels at 96 DPI) and of a large one (32).
inline int SmallIconSize(UINT dpi) { return Scale(16, dpi); }
inline int LargeIconSize(UINT dpi) { return Scale(32, dpi); }

struct IconDeleter {
  void operator()(HICON icon) const { DestroyIcon(icon); }
};
using Icon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDeleter>;

// An icon resource of the program at `size` x `size` pixels, drawn from the image
// of that size or the closest one; null when it cannot be loaded.
Icon LoadIconAt(int id, int size);

}  // namespace ui
