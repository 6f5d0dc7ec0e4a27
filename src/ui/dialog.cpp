#include "ui/dialog.h"

#include <commctrl.h>

#include <exception>
#include <vector>

#include "platform/platform.h"
#include "ui/system_calls.h"

namespace ui {

namespace {

// What reaches the dialog procedure's boundary is shown, and the window goes on.
void ReportFailure(HWND hwnd, const std::wstring& what) noexcept {
  try {
    ShowMessageBox(hwnd,
                   L"An unexpected error occurred: " + what +
                       L"\n\nThe last action may not have been completed.",
                   L"Trackscrub", MB_OK | MB_ICONERROR);
  } catch (...) {
    // Nothing more can be said without risking the same failure again.
  }
}

// Messages whose result a dialog procedure returns itself instead of storing it.
bool ReturnsResultDirectly(UINT message) {
  switch (message) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
      return true;
    default:
      return false;
  }
}

bool IsComboBox(HWND control) {
  wchar_t name[16] = {};
  return GetClassNameW(control, name, 16) > 0 && lstrcmpiW(name, WC_COMBOBOXW) == 0;
}

// A control's rectangle in its dialog's client coordinates; a combo box's includes
// its drop-down list, which MoveWindow takes as the control's height.
RECT PlaceOf(HWND dialog, HWND control) {
  RECT rect = {};
  GetWindowRect(control, &rect);
  if (IsComboBox(control)) {
    SendMessageW(control, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&rect));
  }
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

}  // namespace

Dialog::Dialog(int template_id, HWND parent) : template_id_(template_id), parent_(parent) {}

Dialog::~Dialog() { Destroy(); }

INT_PTR Dialog::DoModal(bool show) {
  modal_ = true;
  ended_ = false;
  result_ = -1;
  if (CreateDialogParamW(ResourceModule(), MAKEINTRESOURCEW(template_id_), parent_, Procedure,
                         reinterpret_cast<LPARAM>(this)) == nullptr) {
    modal_ = false;
    return -1;
  }
  if (!ended_) {
    const bool disable_owner = parent_ != nullptr && IsWindowEnabled(parent_);
    if (disable_owner) EnableWindow(parent_, FALSE);
    if (show) ShowWindow(hwnd_, SW_SHOW);
    MSG msg;
    while (!ended_ && hwnd_ != nullptr) {
      const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
      if (got == 0) {
        // WM_QUIT belongs to the loop outside this one.
        PostQuitMessage(static_cast<int>(msg.wParam));
        break;
      }
      if (got == -1) break;
      if (!IsDialogMessageW(hwnd_, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
    }
    // The owner is enabled before this window goes, so that it gets the activation.
    if (disable_owner) EnableWindow(parent_, TRUE);
  }
  Destroy();
  modal_ = false;
  return result_;
}

bool Dialog::Create() {
  modal_ = false;
  ended_ = false;
  result_ = -1;
  return CreateDialogParamW(ResourceModule(), MAKEINTRESOURCEW(template_id_), parent_, Procedure,
                            reinterpret_cast<LPARAM>(this)) != nullptr;
}

void Dialog::Destroy() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

void Dialog::EndDialog(INT_PTR result) {
  result_ = result;
  ended_ = true;
  if (!modal_ && hwnd_ != nullptr) ShowWindow(hwnd_, SW_HIDE);
}

HWND Dialog::Item(int id) const { return GetDlgItem(hwnd_, id); }

std::wstring Dialog::ItemText(int id) const {
  const HWND item = Item(id);
  if (item == nullptr) return std::wstring();
  const int length = GetWindowTextLengthW(item);
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
  const int got = GetWindowTextW(item, buffer.data(), length + 1);
  return std::wstring(buffer.data(), static_cast<size_t>(got > 0 ? got : 0));
}

void Dialog::SetItemText(int id, const std::wstring& text) {
  SetDlgItemTextW(hwnd_, id, text.c_str());
}

bool Dialog::IsChecked(int id) const {
  return SendDlgItemMessageW(hwnd_, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Dialog::SetChecked(int id, bool checked) {
  SendDlgItemMessageW(hwnd_, id, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Dialog::EnableItem(int id, bool enable) { EnableWindow(Item(id), enable ? TRUE : FALSE); }

bool Dialog::OnCommand(int id, int code, HWND) {
  if (code != BN_CLICKED) return false;
  if (id == IDOK) {
    OnOK();
    return true;
  }
  if (id == IDCANCEL) {
    OnCancel();
    return true;
  }
  return false;
}

std::optional<LRESULT> Dialog::OnMessage(UINT, WPARAM, LPARAM) { return std::nullopt; }

INT_PTR Dialog::Dispatch(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      // A window made again by the same object starts with its template's font.
      scaled_font_.reset();
      dpi_ = WindowDpi(hwnd_);
      return OnInitDialog();
    case WM_GETFONT:
      // Once the DPI has changed the dialog answers with its own scaled font.
      if (scaled_font_ == nullptr) return FALSE;
      SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, reinterpret_cast<LONG_PTR>(scaled_font_.get()));
      return TRUE;
    case WM_GETDPISCALEDSIZE:
      // FALSE: the system scales the window in proportion, as the controls are.
      SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, FALSE);
      return TRUE;
    case WM_DPICHANGED:
      ChangeDpi(LOWORD(wparam), *reinterpret_cast<const RECT*>(lparam));
      SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, 0);
      return TRUE;
    case WM_COMMAND:
      if (OnCommand(LOWORD(wparam), HIWORD(wparam), reinterpret_cast<HWND>(lparam))) return TRUE;
      return FALSE;
    default:
      break;
  }
  const std::optional<LRESULT> handled = OnMessage(message, wparam, lparam);
  if (!handled) return FALSE;
  if (ReturnsResultDirectly(message)) return static_cast<INT_PTR>(*handled);
  SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, *handled);
  return TRUE;
}

INT_PTR CALLBACK Dialog::Procedure(HWND hwnd, UINT message, WPARAM wparam,
                                   LPARAM lparam) noexcept {
  Dialog* self = nullptr;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<Dialog*>(lparam);
    SetWindowLongPtrW(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    self->hwnd_ = hwnd;
  } else {
    self = reinterpret_cast<Dialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  }
  if (self == nullptr) return FALSE;
  INT_PTR result = FALSE;
  try {
    result = self->Dispatch(message, wparam, lparam);
  } catch (const std::exception& failure) {
    ReportFailure(hwnd, platform::WideFromAnsi(failure.what()));
  } catch (...) {
    ReportFailure(hwnd, L"unknown failure");
  }
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, DWLP_USER, 0);
    self->hwnd_ = nullptr;
  }
  return result;
}

void Dialog::ChangeDpi(UINT new_dpi, const RECT& suggested) {
  const UINT old_dpi = dpi_;
  if (new_dpi == 0 || new_dpi == old_dpi) return;
  dpi_ = new_dpi;
  struct Place {
    HWND control;
    RECT rect;
  };
  std::vector<Place> places;
  for (HWND child = GetWindow(hwnd_, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    places.push_back({child, PlaceOf(hwnd_, child)});
  }
  const auto scale = [&](LONG value) {
    return MulDiv(value, static_cast<int>(new_dpi), static_cast<int>(old_dpi));
  };
  rescaling_ = true;
  SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  for (const Place& place : places) {
    const int left = scale(place.rect.left);
    const int top = scale(place.rect.top);
    MoveWindow(place.control, left, top, scale(place.rect.right) - left,
               scale(place.rect.bottom) - top, TRUE);
  }
  LOGFONTW font = {};
  const HFONT current = reinterpret_cast<HFONT>(SendMessageW(hwnd_, WM_GETFONT, 0, 0));
  if (current != nullptr && GetObjectW(current, sizeof font, &font) == static_cast<int>(sizeof font)) {
    font.lfHeight = scale(font.lfHeight);
    const HFONT scaled = CreateFontIndirectW(&font);
    if (scaled != nullptr) {
      for (const Place& place : places) {
        if (reinterpret_cast<HFONT>(SendMessageW(place.control, WM_GETFONT, 0, 0)) == current) {
          SendMessageW(place.control, WM_SETFONT, reinterpret_cast<WPARAM>(scaled), TRUE);
        }
      }
      // The font before goes only now that no control draws with it.
      scaled_font_.reset(scaled);
    }
  }
  rescaling_ = false;
  LoadWindowIcons();
  OnDpiChanged(old_dpi);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void Dialog::SetWindowIcons(int id) {
  window_icon_ = id;
  LoadWindowIcons();
}

void Dialog::LoadWindowIcons() {
  if (window_icon_ == 0 || hwnd_ == nullptr) return;
  Icon big = LoadIconAt(window_icon_, LargeIconSize(dpi_));
  Icon small = LoadIconAt(window_icon_, SmallIconSize(dpi_));
  SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big.get()));
  SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.get()));
  // The icons before go only now that the window shows the new ones.
  big_icon_ = std::move(big);
  small_icon_ = std::move(small);
}

HINSTANCE ResourceModule() { return GetModuleHandleW(nullptr); }

void AddListColumns(HWND list, const ListColumn* columns, size_t count, UINT dpi) {
  for (size_t k = 0; k < count; ++k) {
    LVCOLUMNW column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = columns[k].format;
    column.cx = Scale(columns[k].width, dpi);
    column.pszText = const_cast<wchar_t*>(columns[k].heading);
    column.iSubItem = static_cast<int>(k);
    SendMessageW(list, LVM_INSERTCOLUMNW, k, reinterpret_cast<LPARAM>(&column));
  }
}

}  // namespace ui
