// Display scaling: every size the windows give in pixels is its size at 96 DPI
// scaled to the DPI of the monitor (these tests also run at 144 DPI), and a move
// to a monitor of another scale takes the windows, their controls and those sizes
// to the new scale.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "res/resource.h"
#include "ui/config_dlg.h"
#include "ui/details_dlg.h"
#include "ui/dpi.h"
#include "ui/intro.h"
#include "ui_support.h"

namespace {

enum Window { kMain, kDetails, kOptions };

int ColumnWidth(HWND d, int column) {
  return static_cast<int>(SendDlgItemMessageW(d, IDC_COOKIE_LIST, LVM_GETCOLUMNWIDTH, column, 0));
}
int ListColumnWidth(HWND d, int column) {
  return static_cast<int>(SendDlgItemMessageW(d, IDC_TRACKER_LISTS, LVM_GETCOLUMNWIDTH, column, 0));
}
int ShownIconSide(HWND d, int id) {
  return IconSide(reinterpret_cast<HICON>(SendDlgItemMessageW(d, id, STM_GETICON, 0, 0)));
}
int WindowIconSide(HWND d, int which) {
  return IconSide(reinterpret_cast<HICON>(SendMessageW(d, WM_GETICON, which, 0)));
}
int FontHeight(HWND d, int) {
  LOGFONTW font = {};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(d, WM_GETFONT, 0, 0)), sizeof font, &font);
  return static_cast<int>(-font.lfHeight);
}
int ListIconSide(HWND d, int list) {
  int cx = 0, cy = 0;
  ImageList_GetIconSize(
      reinterpret_cast<HIMAGELIST>(SendDlgItemMessageW(d, IDC_COOKIE_LIST, LVM_GETIMAGELIST, list, 0)), &cx, &cy);
  return cx == cy ? cx : -1;
}

// A size a window gives in pixels: what it is at 96 DPI, and how it is measured.
const struct Size {
  Window window;
  const char* what;
  int at96;
  int (*measure)(HWND, int);
  int which;
} kSizes[] = {
    {kMain, "picture", 48, ShownIconSide, IDC_PICTURE},
    {kMain, "font height", 11, FontHeight, 0},
    {kMain, "small window icon", 16, WindowIconSide, ICON_SMALL},
    {kMain, "big window icon", 32, WindowIconSide, ICON_BIG},
    {kDetails, "icon column", 22, ColumnWidth, 0},
    {kDetails, "site column", 110, ColumnWidth, 1},
    {kDetails, "expiry column", 64, ColumnWidth, 2},
    {kDetails, "name column", 90, ColumnWidth, 3},
    {kDetails, "value column", 110, ColumnWidth, 4},
    {kDetails, "rule column", 114, ColumnWidth, 5},
    {kDetails, "list icons", 16, ListIconSide, LVSIL_SMALL},
    {kOptions, "browser icons", 32, ShownIconSide, IDC_ICON_FLASH},
    {kOptions, "last browser icon", 32, ShownIconSide, IDC_ICON_CHROMIUM},
    {kOptions, "list name column", 150, ListColumnWidth, 0},
    {kOptions, "list updated column", 170, ListColumnWidth, 2},
};

// Every control's rectangle in the dialog's client coordinates (a drop-down list's
// height is its font's, not a scaled one, and is left out), then the minimum size.
std::vector<RECT> Layout(HWND dialog) {
  MINMAXINFO info = {};
  SendMessageW(dialog, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
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
  rects.push_back({0, 0, info.ptMinTrackSize.x, info.ptMinTrackSize.y});
  return rects;
}

using DisplayScale = UiTest;

TEST_F(DisplayScale, PixelSizesFollowTheDpiAndAMoveToAnotherScale) {
  for (const Window window : {kMain, kDetails, kOptions}) {
    SCOPED_TRACE(window);
    std::unique_ptr<ui::Dialog> dialog;
    if (window == kMain) dialog = std::make_unique<CIntro>();
    if (window == kDetails) dialog = std::make_unique<CtrackscrubDlg>();
    if (window == kOptions) dialog = std::make_unique<CConfigDlg>();
    ASSERT_TRUE(dialog->Create());
    const HWND hwnd = dialog->hwnd();
    ShowWindow(hwnd, SW_SHOW);
    const UINT dpi = ui::WindowDpi(hwnd);
    // Each run says at which DPI its Wine server was started.
    if (const char* want = std::getenv("TS_TEST_DPI")) {
      EXPECT_EQ(dpi, std::strtoul(want, nullptr, 10));
    }
    const auto expect_sizes_at = [&](UINT at) {
      for (const Size& size : kSizes) {
        if (size.window != window) continue;
        EXPECT_NEAR(size.measure(hwnd, size.which), size.at96 * at / 96.0, 1.0) << size.what << " at " << at;
      }
    };
    expect_sizes_at(dpi);

    // To a monitor of the other scale: the window takes the suggested rectangle;
    // the layout and the sizes above follow.
    const UINT other = dpi == 96 ? 144 : 96;
    const double factor = static_cast<double>(other) / dpi;
    const std::vector<RECT> before = Layout(hwnd);
    RECT suggested = {};
    GetWindowRect(hwnd, &suggested);
    suggested.right = suggested.left + MulDiv(suggested.right - suggested.left, other, dpi);
    suggested.bottom = suggested.top + MulDiv(suggested.bottom - suggested.top, other, dpi);
    SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(other, other), reinterpret_cast<LPARAM>(&suggested));
    RECT now = {};
    GetWindowRect(hwnd, &now);
    EXPECT_TRUE(EqualRect(&now, &suggested));
    expect_sizes_at(other);
    const std::vector<RECT> after = Layout(hwnd);
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i + (window == kMain ? 1 : 0) < after.size(); ++i) {  // the main window has no minimum
      for (LONG RECT::*side : {&RECT::left, &RECT::top, &RECT::right, &RECT::bottom}) {
        if (after[i].bottom != after[i].top || side != &RECT::bottom) {
          EXPECT_NEAR(after[i].*side, before[i].*side * factor, 1.0) << "control " << i;
        }
      }
    }
    // Enlarged at the new scale, a resizing dialog's OK button follows the corner.
    const RECT ok = ControlRect(hwnd, IDOK);
    SetWindowPos(hwnd, nullptr, 0, 0, now.right - now.left + 30, now.bottom - now.top + 20,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    const RECT moved = ControlRect(hwnd, IDOK);
    EXPECT_EQ(moved.left - ok.left, window == kMain ? 0 : 30);
    EXPECT_EQ(moved.top - ok.top, window == kMain ? 0 : 20);
  }
}

}  // namespace
