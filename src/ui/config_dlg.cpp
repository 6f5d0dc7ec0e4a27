#include "ui/config_dlg.h"

#include <string>
#include <vector>

#include "app/settings.h"
#include "res/resource.h"
#include "ui/system_calls.h"

namespace {

// The check box and the icon of the browser at `index` of the table of browsers.
int SwitchControl(size_t index) { return IDC_PROCESS_IE + 2 * static_cast<int>(index); }
int IconControl(size_t index) { return IDC_ICON_IE + 2 * static_cast<int>(index); }

// A browser's row, in dialog units: the icon, then its switch, 22 units below the
// row before (ten rows beside the filter). Each place is x, y, width, height,
// converted as a dialog template's are: the position and the size each on its own.
constexpr int kRowTop = 18;
constexpr int kRowStep = 22;
constexpr RECT kIconPlace = {234, 0, 20, 20};
constexpr RECT kSwitchPlace = {264, 0, 90, 18};

HWND CreateRowControl(HWND dialog, const wchar_t* window_class, const wchar_t* text, DWORD style,
                      RECT place, size_t row, int id) {
  place.top += kRowTop + kRowStep * static_cast<int>(row);
  MapDialogRect(dialog, &place);
  const HWND control =
      CreateWindowExW(0, window_class, text, WS_CHILD | WS_VISIBLE | style, place.left, place.top,
                      place.right, place.bottom, dialog,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ui::ResourceModule(),
                      nullptr);
  SendMessageW(control, WM_SETFONT, SendMessageW(dialog, WM_GETFONT, 0, 0), FALSE);
  return control;
}

std::wstring ReplaceAll(std::wstring text, const std::wstring& from, const std::wstring& to) {
  for (size_t at = text.find(from); at != std::wstring::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

}  // namespace

const wchar_t kFilterHelpText[] =
    L"A cookie will be considered evil if the originating website matches one of the listed "
    L"sites.\n\n"
    L"Wildcards can be used: for example '*.adserver.com' matches every website whose domain "
    L"name ends in 'adserver.com', such as 'www.adserver.com' and 'eu.img.adserver.com'.\n\n"
    L"The '+' wildcard can be used to match every character except the period - this is useful "
    L"to designate any TLD. For example '*.tracker.+' matches 'www.tracker.com' and "
    L"'www.tracker.de', but not 'www.tracker.mysite.org'.\n\n"
    L"Paths within a website will be ignored - a cookie set for 'www.adserver.com/banners' is "
    L"treated as a cookie set for 'www.adserver.com'\n\n"
    L"A note on domain cookies: When processing the domains strings Trackscrub will temporarily "
    L"prepend a period to the domain name if it's not there already; this way the pattern "
    L"'*.adserver.com' matches both 'adserver.com' and 'ads.adserver.com'.\n\n"
    L"Empty lines will be ignored. Start comments with '#'.";

CConfigDlg::CConfigDlg(HWND parent) : CResizingDialog(IDD_OPTIONS, parent) {
  using namespace ui;
  AddAnchor(IDC_FILTER, ANCHOR_SIZE_X | ANCHOR_SIZE_Y);
  AddAnchor(IDC_FILTER_HELP, ANCHOR_MOVE_Y | ANCHOR_SIZE_X);
  for (const int button : {IDC_MORE_INFO, IDC_DEFAULTS, IDOK, IDCANCEL}) {
    AddAnchor(button, ANCHOR_MOVE_X | ANCHOR_MOVE_Y);
  }
  for (size_t i = 0; i < Browsers().size(); ++i) {
    AddAnchor(IconControl(i), ANCHOR_MOVE_X);
    AddAnchor(SwitchControl(i), ANCHOR_MOVE_X);
  }
}

void CConfigDlg::AddBrowserRows() {
  // The switches follow the filter in the tab order; the icons come last.
  HWND after = Item(IDC_FILTER);
  for (size_t i = 0; i < Browsers().size(); ++i) {
    const BrowserInfo& browser = Browsers()[i];
    const HWND check = CreateRowControl(hwnd(), L"Button", browser.option_caption,
                                        BS_AUTOCHECKBOX | BS_MULTILINE | WS_TABSTOP, kSwitchPlace,
                                        i, SwitchControl(i));
    SetWindowPos(check, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    after = check;
    CreateRowControl(hwnd(), L"Static", nullptr, SS_ICON, kIconPlace, i, IconControl(i));
  }
  SetBrowserIcons();
}

void CConfigDlg::SetBrowserIcons() {
  std::vector<ui::Icon> icons;
  for (size_t i = 0; i < Browsers().size(); ++i) {
    icons.push_back(ui::LoadIconAt(Browsers()[i].icon, ui::LargeIconSize(dpi())));
    SendDlgItemMessageW(hwnd(), IconControl(i), STM_SETICON,
                        reinterpret_cast<WPARAM>(icons.back().get()), 0);
  }
  // The icons before go only now that no control shows them.
  browser_icons_ = std::move(icons);
}

void CConfigDlg::OnDpiChanged(UINT old_dpi) {
  CResizingDialog::OnDpiChanged(old_dpi);
  SetBrowserIcons();
}

BOOL CConfigDlg::OnInitDialog() {
  AddBrowserRows();
  CResizingDialog::OnInitDialog();
  SetWindowIcons(IDI_APPLICATION_ICON);
  LoadOptions();
  return FALSE;
}

void CConfigDlg::LoadOptions() {
  SetItemText(IDC_FILTER, ReplaceAll(CtrackscrubApp::GetFilter(), L"\n", L"\r\n"));
  SetFocus(Item(IDC_FILTER));
  for (size_t i = 0; i < Browsers().size(); ++i) {
    SetChecked(SwitchControl(i), CtrackscrubApp::IsBrowserEnabled(Browsers()[i].id));
  }
}

void CConfigDlg::OnOK() {
  const std::wstring filter = ReplaceAll(ItemText(IDC_FILTER), L"\r\n", L"\n");
  CtrackscrubApp::SetRegString(kValueFilter, filter.c_str());
  for (size_t i = 0; i < Browsers().size(); ++i) {
    CtrackscrubApp::SetRegDWORD(Browsers()[i].switch_name, IsChecked(SwitchControl(i)) ? 1 : 0);
  }
  EndDialog(IDOK);
}

void CConfigDlg::OnDefaults() {
  CtrackscrubApp::RestoreDefaults();
  LoadOptions();
}

void CConfigDlg::OnMoreInfo() {
  ui::ShowMessageBox(hwnd(), kFilterHelpText, L"Trackscrub Configuration Details",
                     MB_ICONINFORMATION);
}

bool CConfigDlg::OnCommand(int id, int code, HWND control) {
  if (code == BN_CLICKED && id == IDC_MORE_INFO) {
    OnMoreInfo();
    return true;
  }
  if (code == BN_CLICKED && id == IDC_DEFAULTS) {
    OnDefaults();
    return true;
  }
  return CResizingDialog::OnCommand(id, code, control);
}
