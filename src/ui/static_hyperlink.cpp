#include "ui/static_hyperlink.h"

#include <commctrl.h>

#include <vector>

#include "ui/dpi.h"
#include "ui/system_calls.h"

namespace ui {

namespace {

constexpr UINT_PTR kSubclassId = 1;

// A GDI font, deleted on every path out.
class FontHandle {
 public:
  explicit FontHandle(HFONT font) : font_(font) {}
  FontHandle(const FontHandle&) = delete;
  FontHandle& operator=(const FontHandle&) = delete;
  ~FontHandle() {
    if (font_ != nullptr) DeleteObject(font_);
  }
  HFONT get() const { return font_; }

 private:
  HFONT font_;
};

std::wstring WindowText(HWND hwnd) {
  const int length = GetWindowTextLengthW(hwnd);
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
  const int got = GetWindowTextW(hwnd, buffer.data(), length + 1);
  return std::wstring(buffer.data(), static_cast<size_t>(got > 0 ? got : 0));
}

}  // namespace

CStaticHyperlink::~CStaticHyperlink() {
  if (hwnd_ != nullptr && IsWindow(hwnd_)) {
    RemoveWindowSubclass(hwnd_, Procedure, kSubclassId);
  }
}

void CStaticHyperlink::Attach(HWND control) {
  hwnd_ = control;
  if (control != nullptr) {
    SetWindowSubclass(control, Procedure, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
  }
}

void CStaticHyperlink::OnClicked() {
  const std::wstring target = m_strURL.empty() ? WindowText(hwnd_) : m_strURL;
  GetSystemCalls().shell_open(L"open", target);
}

void CStaticHyperlink::OnPaint() {
  PAINTSTRUCT paint;
  const HDC dc = BeginPaint(hwnd_, &paint);
  if (dc == nullptr) return;
  RECT client = {};
  GetClientRect(hwnd_, &client);
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  SetTextColor(dc, RGB(0, 0, 255));
  LOGFONTW font = {};
  const HFONT parent_font =
      reinterpret_cast<HFONT>(SendMessageW(GetParent(hwnd_), WM_GETFONT, 0, 0));
  // The dialog's font follows its DPI; without one, the dialogs' 8-point face at
  // the DPI of the monitor the link is on.
  if (parent_font == nullptr ||
      GetObjectW(parent_font, sizeof font, &font) != static_cast<int>(sizeof font)) {
    font = {};
    font.lfHeight = -MulDiv(8, static_cast<int>(WindowDpi(hwnd_)), 72);
    lstrcpynW(font.lfFaceName, L"MS Shell Dlg", LF_FACESIZE);
  }
  font.lfUnderline = 1;
  const FontHandle underlined(CreateFontIndirectW(&font));
  const HGDIOBJ old_font = underlined.get() != nullptr ? SelectObject(dc, underlined.get()) : nullptr;
  SetTextAlign(dc, TA_CENTER | TA_TOP);
  const std::wstring text = WindowText(hwnd_);
  ExtTextOutW(dc, client.right / 2, 0, ETO_OPAQUE, &client, text.c_str(),
              static_cast<UINT>(text.size()), nullptr);
  if (old_font != nullptr) SelectObject(dc, old_font);
  EndPaint(hwnd_, &paint);
}

LRESULT CALLBACK CStaticHyperlink::Procedure(HWND hwnd, UINT message, WPARAM wparam,
                                             LPARAM lparam, UINT_PTR, DWORD_PTR self) noexcept {
  CStaticHyperlink* link = reinterpret_cast<CStaticHyperlink*>(self);
  switch (message) {
    case WM_SETCURSOR:
      SetCursor(LoadCursorW(nullptr, IDC_HAND));
      return TRUE;
    case WM_PAINT:
      try {
        link->OnPaint();
        return 0;
      } catch (...) {
        // Without its own text the control still paints as plain static text.
        break;
      }
    case WM_NCDESTROY:
      RemoveWindowSubclass(hwnd, Procedure, kSubclassId);
      link->hwnd_ = nullptr;
      break;
    default:
      break;
  }
  return DefSubclassProc(hwnd, message, wparam, lparam);
}

}  // namespace ui
