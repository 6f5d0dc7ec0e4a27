// Display scaling: every size the windows give in pixels is its size at 96 DPI
// scaled to the DPI of the monitor (these tests also run at 144 DPI), and a move
// to a monitor of another scale takes the windows, their controls and those sizes
// to the new scale.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

#include "res/resource.h"
#include "ui/config_dlg.h"
#include "ui/details_dlg.h"
#include "ui/dpi.h"
#include "ui/intro.h"
#include "ui_support.h"

namespace {

int ShownIconSide(HWND dialog, int id) {
  return IconSide(reinterpret_cast<HICON>(SendDlgItemMessageW(dialog, id, STM_GETICON, 0, 0)));
}

int ColumnWidth(HWND dialog, int column) {
  return static_cast<int>(SendDlgItemMessageW(dialog, IDC_COOKIE_LIST, LVM_GETCOLUMNWIDTH,
                                              static_cast<WPARAM>(column), 0));
}

POINT MinimumTrackSize(HWND dialog) {
  MINMAXINFO info = {};
  SendMessageW(dialog, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  return info.ptMinTrackSize;
}

enum Window { kMain, kDetails, kOptions };

struct Size {
  Window window;
  const char* what;
  int at96;  // pixels at 96 DPI
  std::function<int(HWND)> measure;
};

const std::vector<Size>& Sizes() {
  static const std::vector<Size> sizes = {
      {kMain, "picture", 48, [](HWND d) { return ShownIconSide(d, IDC_PICTURE); }},
      {kMain, "font height", 11,
       [](HWND d) {
         LOGFONTW font = {};
         GetObjectW(reinterpret_cast<HFONT>(SendMessageW(d, WM_GETFONT, 0, 0)), sizeof font, &font);
         return static_cast<int>(-font.lfHeight);
       }},
      {kMain, "small window icon", 16,
       [](HWND d) { return IconSide(reinterpret_cast<HICON>(SendMessageW(d, WM_GETICON, ICON_SMALL, 0))); }},
      {kMain, "big window icon", 32,
       [](HWND d) { return IconSide(reinterpret_cast<HICON>(SendMessageW(d, WM_GETICON, ICON_BIG, 0))); }},
      {kDetails, "icon column", 22, [](HWND d) { return ColumnWidth(d, 0); }},
      {kDetails, "site column", 120, [](HWND d) { return ColumnWidth(d, 1); }},
      {kDetails, "expiry column", 80, [](HWND d) { return ColumnWidth(d, 2); }},
      {kDetails, "name column", 100, [](HWND d) { return ColumnWidth(d, 3); }},
      {kDetails, "value column", 180, [](HWND d) { return ColumnWidth(d, 4); }},
      {kDetails, "list icons", 16,
       [](HWND d) {
         int cx = 0, cy = 0;
         ImageList_GetIconSize(reinterpret_cast<HIMAGELIST>(SendDlgItemMessageW(
                                   d, IDC_COOKIE_LIST, LVM_GETIMAGELIST, LVSIL_SMALL, 0)),
                               &cx, &cy);
         return cx == cy ? cx : -1;
       }},
      {kOptions, "browser icons", 32, [](HWND d) { return ShownIconSide(d, IDC_ICON_FLASH); }},
  };
  return sizes;
}

std::unique_ptr<ui::Dialog> Make(Window window) {
  switch (window) {
    case kMain:
      return std::make_unique<CIntro>();
    case kDetails:
      return std::make_unique<CtrackscrubDlg>();
    default:
      return std::make_unique<CConfigDlg>();
  }
}

// Every control's rectangle in the dialog's client coordinates; a drop-down list's
// height is its font's, not a scaled one, and is left out.
std::vector<RECT> ControlRects(HWND dialog) {
  std::vector<RECT> rects;
  for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    RECT rect = {};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    wchar_t name[16] = {};
    GetClassNameW(child, name, 16);
    if (lstrcmpiW(name, WC_COMBOBOXW) == 0) rect.bottom = rect.top;
    rects.push_back(rect);
  }
  return rects;
}

using DisplayScale = UiTest;

TEST_F(DisplayScale, PixelSizesFollowTheDpiAndAMoveToAnotherScale) {
  for (const Window window : {kMain, kDetails, kOptions}) {
    std::unique_ptr<ui::Dialog> dialog = Make(window);
    ASSERT_TRUE(dialog->Create());
    const HWND hwnd = dialog->hwnd();
    ShowWindow(hwnd, SW_SHOW);
    const UINT dpi = ui::WindowDpi(hwnd);
    // Each run says at which DPI its Wine server was started.
    if (const char* want = std::getenv("TS_TEST_DPI")) {
      EXPECT_EQ(dpi, std::strtoul(want, nullptr, 10));
    }
    for (const Size& size : Sizes()) {
      if (size.window != window) continue;
      EXPECT_NEAR(size.measure(hwnd), size.at96 * dpi / 96.0, 1.0) << size.what << " at " << dpi;
    }

    // To a monitor of the other scale: the window takes the suggested rectangle;
    // the controls, the minimum size and the sizes above follow.
    const UINT other = dpi == 96 ? 144 : 96;
    const double factor = static_cast<double>(other) / dpi;
    const std::vector<RECT> before = ControlRects(hwnd);
    const POINT minimum = MinimumTrackSize(hwnd);
    RECT suggested = {};
    GetWindowRect(hwnd, &suggested);
    suggested.right = suggested.left + MulDiv(suggested.right - suggested.left, other, dpi);
    suggested.bottom = suggested.top + MulDiv(suggested.bottom - suggested.top, other, dpi);
    SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(other, other), reinterpret_cast<LPARAM>(&suggested));
    RECT now = {};
    GetWindowRect(hwnd, &now);
    EXPECT_TRUE(EqualRect(&now, &suggested)) << window;
    for (const Size& size : Sizes()) {
      if (size.window != window) continue;
      EXPECT_NEAR(size.measure(hwnd), size.at96 * other / 96.0, 1.0) << size.what << " at " << other;
    }
    if (window != kMain) {
      EXPECT_NEAR(MinimumTrackSize(hwnd).x, minimum.x * factor, 1.0) << window;
      EXPECT_NEAR(MinimumTrackSize(hwnd).y, minimum.y * factor, 1.0) << window;
    }
    const std::vector<RECT> after = ControlRects(hwnd);
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < after.size(); ++i) {
      EXPECT_NEAR(after[i].left, before[i].left * factor, 1.0) << window << " control " << i;
      EXPECT_NEAR(after[i].top, before[i].top * factor, 1.0) << window << " control " << i;
      EXPECT_NEAR(after[i].right, before[i].right * factor, 1.0) << window << " control " << i;
      if (after[i].bottom != after[i].top) {
        EXPECT_NEAR(after[i].bottom, before[i].bottom * factor, 1.0) << window << " control " << i;
      }
    }
    // Enlarged at the new scale, a resizing dialog's OK button follows the corner.
    const RECT ok = ControlRect(hwnd, IDOK);
    SetWindowPos(hwnd, nullptr, 0, 0, now.right - now.left + 30, now.bottom - now.top + 20,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    const RECT moved = ControlRect(hwnd, IDOK);
    EXPECT_EQ(moved.left - ok.left, window == kMain ? 0 : 30) << window;
    EXPECT_EQ(moved.top - ok.top, window == kMain ? 0 : 20) << window;
  }
}

}  // namespace
