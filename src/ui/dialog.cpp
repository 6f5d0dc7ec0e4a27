#include "ui/dialog.h"

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
      return OnInitDialog();
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

HINSTANCE ResourceModule() { return GetModuleHandleW(nullptr); }

HICON LoadSharedIcon(int id, int size) {
  const UINT flags = LR_DEFAULTCOLOR | LR_SHARED | (size == 0 ? LR_DEFAULTSIZE : 0);
  return static_cast<HICON>(
      LoadImageW(ResourceModule(), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, flags));
}

}  // namespace ui
