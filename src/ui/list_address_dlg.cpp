#include "ui/list_address_dlg.h"

#include "app/run_filter.h"
#include "res/resource.h"
#include "ui/system_calls.h"

CListAddressDlg::CListAddressDlg(HWND parent) : Dialog(IDD_LIST_ADDRESS, parent) {}

void CListAddressDlg::OnOK() {
  std::wstring text = ItemText(IDC_LIST_ADDRESS);
  const size_t first = text.find_first_not_of(L" \t");
  text = first == std::wstring::npos ? L"" : text.substr(first, text.find_last_not_of(L" \t") + 1 - first);
  if (!IsAcceptedListAddress(text)) {
    ui::ShowMessageBox(hwnd(),
                       L"A tracker list is downloaded only from an https:// address. Plain http:// "
                       L"is accepted only from this computer (127.0.0.1, [::1] or localhost).",
                       L"Add a tracker list", MB_ICONEXCLAMATION);
    SetFocus(Item(IDC_LIST_ADDRESS));
    return;
  }
  m_strAddress = text;
  EndDialog(IDOK);
}
