#include "ui/resizing_dialog.h"

namespace ui {

CResizingDialog::CResizingDialog(int template_id, HWND parent) : Dialog(template_id, parent) {}

void CResizingDialog::AddAnchor(int id, int flags) {
  if ((flags & 0xFFFF) == 0) return;
  anchors_.push_back(static_cast<uint32_t>(flags & 0xFFFF) << 16 |
                     static_cast<uint32_t>(id & 0xFFFF));
}

BOOL CResizingDialog::OnInitDialog() {
  // The opening size is the smallest the user may drag the dialog to.
  RECT window = {};
  GetWindowRect(hwnd(), &window);
  min_width_ = window.right - window.left;
  min_height_ = window.bottom - window.top;
  // The size the window was created with counts as the first WM_SIZE: it arrived
  // before this object was attached to the window.
  RECT client = {};
  GetClientRect(hwnd(), &client);
  last_width_ = client.right;
  last_height_ = client.bottom;
  return FALSE;
}

std::optional<LRESULT> CResizingDialog::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_GETMINMAXINFO:
      // While the window is scaled to a new DPI, the minimum it opened with at
      // the old one does not hold.
      if (min_width_ == 0 || rescaling()) return std::nullopt;
      reinterpret_cast<MINMAXINFO*>(lparam)->ptMinTrackSize = {min_width_, min_height_};
      return 0;
    case WM_SIZE:
      OnSize(static_cast<UINT>(wparam), LOWORD(lparam), HIWORD(lparam));
      return 0;
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_NCHITTEST:
      return OnNcHitTest(wparam, lparam);
    case WM_DESTROY:
      min_width_ = min_height_ = 0;
      last_width_ = last_height_ = 0;
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

void CResizingDialog::OnDpiChanged(UINT old_dpi) {
  min_width_ = MulDiv(min_width_, static_cast<int>(dpi()), static_cast<int>(old_dpi));
  min_height_ = MulDiv(min_height_, static_cast<int>(dpi()), static_cast<int>(old_dpi));
}

SIZE CResizingDialog::GripSize() const {
  return {SystemMetric(SM_CXHSCROLL, dpi()), SystemMetric(SM_CYVSCROLL, dpi())};
}

void CResizingDialog::OnSize(UINT type, int cx, int cy) {
  if (type == SIZE_MINIMIZED) return;
  const int dx = cx - last_width_;
  const int dy = cy - last_height_;
  if (last_width_ != 0) {
    for (const uint32_t anchor : anchors_) {
      const int flags = static_cast<int>(anchor >> 16);
      const HWND control = Item(static_cast<int>(anchor & 0xFFFF));
      if (control == nullptr || flags == 0) continue;
      RECT rect = {};
      GetWindowRect(control, &rect);
      MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&rect), 2);
      if (flags & ANCHOR_SIZE_X) {
        rect.right += dx;
      } else if (flags & ANCHOR_MOVE_X) {
        OffsetRect(&rect, dx, 0);
      }
      if (flags & ANCHOR_SIZE_Y) {
        rect.bottom += dy;
      } else if (flags & ANCHOR_MOVE_Y) {
        OffsetRect(&rect, 0, dy);
      }
      MoveWindow(control, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 TRUE);
      InvalidateRect(control, nullptr, TRUE);
    }
  }
  last_width_ = cx;
  last_height_ = cy;
  if (grip_) InvalidateRect(hwnd(), &grip_rect_, TRUE);
}

void CResizingDialog::OnPaint() {
  PAINTSTRUCT paint;
  const HDC dc = BeginPaint(hwnd(), &paint);
  if (grip_ && dc != nullptr) {
    RECT client = {};
    GetClientRect(hwnd(), &client);
    const SIZE grip = GripSize();
    grip_rect_ = {client.right - grip.cx, client.bottom - grip.cy, client.right, client.bottom};
    DrawFrameControl(dc, &grip_rect_, DFC_SCROLL, DFCS_SCROLLSIZEGRIP);
  }
  EndPaint(hwnd(), &paint);
}

LRESULT CResizingDialog::OnNcHitTest(WPARAM wparam, LPARAM lparam) {
  const LRESULT hit = DefWindowProcW(hwnd(), WM_NCHITTEST, wparam, lparam);
  if (hit != HTCLIENT || !grip_) return hit;
  RECT window = {};
  GetWindowRect(hwnd(), &window);
  const SIZE grip = GripSize();
  const RECT corner = {window.right - grip.cx, window.bottom - grip.cy, window.right,
                       window.bottom};
  const POINT cursor = {static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
  return PtInRect(&corner, cursor) ? HTBOTTOMRIGHT : hit;
}

}  // namespace ui
