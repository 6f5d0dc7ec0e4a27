#include "ui/config_dlg.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "app/settings.h"
#include "platform/platform.h"
#include "res/resource.h"
#include "ui/list_address_dlg.h"
#include "ui/system_calls.h"

namespace {

// The check box and the icon of the browser at `index` of the table of browsers.
int SwitchControl(size_t index) { return IDC_PROCESS_IE + 2 * static_cast<int>(index); }
int IconControl(size_t index) { return IDC_ICON_IE + 2 * static_cast<int>(index); }

// A browser's row, in dialog units: the icon, then its switch, 22 units below the
// row before, five rows to a column beside the filter. Each place is x, y, width,
// height, converted as a dialog template's are: the position and the size each on
// its own.
constexpr int kRowTop = 18;
constexpr int kRowStep = 22;
constexpr int kRowsPerColumn = 5;
constexpr int kColumnStep = 100;
constexpr RECT kIconPlace = {230, 0, 20, 20};
constexpr RECT kSwitchPlace = {252, 0, 72, 18};

HWND CreateRowControl(HWND dialog, const wchar_t* window_class, const wchar_t* text, DWORD style,
                      RECT place, size_t row, int id) {
  place.left += kColumnStep * static_cast<int>(row / kRowsPerColumn);
  place.top += kRowTop + kRowStep * static_cast<int>(row % kRowsPerColumn);
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

// The columns of the tracker lists, widths in pixels at 96 DPI.
constexpr ui::ListColumn kListColumns[] = {
    {L"List", LVCFMT_LEFT, 150}, {L"Domains", LVCFMT_RIGHT, 56}, {L"Updated", LVCFMT_LEFT, 170}};

constexpr wchar_t kListFileTypes[] = L"Lists (*.txt, hosts)\0*.txt;hosts\0All files (*.*)\0*.*\0";

// A UTC FILETIME as local "2024-05-01 14:02"; empty when it cannot be converted.
std::wstring LocalTimeText(uint64_t filetime) {
  uint64_t local = 0;
  platform::SystemTime st;
  if (filetime == 0 || !platform::FileTimeToLocalFileTime(filetime, &local) ||
      !platform::FileTimeToSystemTime(local, &st)) {
    return std::wstring();
  }
  wchar_t text[32];
  std::swprintf(text, 32, L"%04d-%02d-%02d %02d:%02d", st.year, st.month, st.day, st.hour, st.minute);
  return text;
}

uint64_t FileWriteTime(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32 |
         data.ftLastWriteTime.dwLowDateTime;
}

// A list's last column: when a file last changed or a list was last read from its
// address, then anything wrong with it.
std::wstring UpdatedText(const ListReport& report) {
  std::wstring text;
  if (report.error == ListFileError::kNone) {
    text = LocalTimeText(report.address ? report.download.confirmed : FileWriteTime(report.source));
  }
  const std::wstring state = ListStateText(report);
  if (state.empty()) return text;
  return text.empty() ? state : text + L"; " + state;
}

void SetCellText(HWND list, int row, int column, const std::wstring& text) {
  LVITEMW item = {};
  item.iSubItem = column;
  item.pszText = const_cast<wchar_t*>(text.c_str());
  SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

// The rows selected in a list view, from the last up.
std::vector<int> SelectedRowsFromTheEnd(HWND list) {
  std::vector<int> rows;
  for (int row = -1; (row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(row),
                                                           LVNI_SELECTED))) >= 0;) {
    rows.push_back(row);
  }
  std::reverse(rows.begin(), rows.end());
  return rows;
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
  AddAnchor(IDC_FILTER_HELP, ANCHOR_MOVE_X);
  for (const int button : {IDC_MORE_INFO, IDC_DEFAULTS, IDOK, IDCANCEL, IDC_NEVER_CLEAN_LABEL,
                           IDC_NEVER_CLEAN}) {
    AddAnchor(button, ANCHOR_MOVE_X | ANCHOR_MOVE_Y);
  }
  for (const int control : {IDC_LISTS_LABEL, IDC_ADD_LIST_FILE, IDC_ADD_LIST_ADDRESS, IDC_REMOVE_LIST}) {
    AddAnchor(control, ANCHOR_MOVE_Y);
  }
  AddAnchor(IDC_TRACKER_LISTS, ANCHOR_SIZE_X | ANCHOR_MOVE_Y);
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
  const HWND list = Item(IDC_TRACKER_LISTS);
  for (int k = 0; k < static_cast<int>(std::size(kListColumns)); ++k) {
    const int width = static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(k), 0));
    SendMessageW(list, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(k),
                 MAKELPARAM(MulDiv(width, static_cast<int>(dpi()), static_cast<int>(old_dpi)), 0));
  }
}

BOOL CConfigDlg::OnInitDialog() {
  AddBrowserRows();
  CResizingDialog::OnInitDialog();
  SetWindowIcons(IDI_APPLICATION_ICON);
  const HWND list = Item(IDC_TRACKER_LISTS);
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  ui::AddListColumns(list, kListColumns, std::size(kListColumns), dpi());
  LoadOptions();
  return FALSE;
}

void CConfigDlg::LoadOptions() {
  m_arrLists.clear();
  for (const std::wstring& source : GetTrackerListSources()) {
    CTrackerList list;
    m_arrLists.push_back(ReadTrackerList(source, &list));
  }
  ShowLists();
  SetItemText(IDC_NEVER_CLEAN, ReplaceAll(GetNeverCleanText(), L"\n", L"\r\n"));
  LoadPatternsAndSwitches();
}

void CConfigDlg::LoadPatternsAndSwitches() {
  SetItemText(IDC_FILTER, ReplaceAll(CtrackscrubApp::GetFilter(), L"\n", L"\r\n"));
  SetFocus(Item(IDC_FILTER));
  for (size_t i = 0; i < Browsers().size(); ++i) {
    SetChecked(SwitchControl(i), CtrackscrubApp::IsBrowserEnabled(Browsers()[i].id));
  }
}

void CConfigDlg::ShowLists() {
  const HWND list = Item(IDC_TRACKER_LISTS);
  SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
  for (const ListReport& report : m_arrLists) {
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    item.pszText = const_cast<wchar_t*>(report.name.c_str());
    const int row = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (row < 0) continue;
    SetCellText(list, row, 1, report.error == ListFileError::kNone ? std::to_wstring(report.domains) : L"");
    SetCellText(list, row, 2, UpdatedText(report));
  }
  EnableItem(IDC_REMOVE_LIST, false);
}

void CConfigDlg::AddList(const std::wstring& source) {
  const auto same = [&source](const ListReport& report) {
    return lstrcmpiW(report.source.c_str(), source.c_str()) == 0;
  };
  auto known = std::find_if(m_arrLists.begin(), m_arrLists.end(), same);
  if (known == m_arrLists.end()) {
    CTrackerList list;
    m_arrLists.push_back(ReadTrackerList(source, &list));
    ShowLists();
    known = m_arrLists.end() - 1;
  }
  // The list's row, new or not, is the one selected.
  LVITEMW item = {};
  item.stateMask = LVIS_SELECTED;
  SendDlgItemMessageW(hwnd(), IDC_TRACKER_LISTS, LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                      reinterpret_cast<LPARAM>(&item));
  item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendDlgItemMessageW(hwnd(), IDC_TRACKER_LISTS, LVM_SETITEMSTATE,
                      static_cast<WPARAM>(known - m_arrLists.begin()), reinterpret_cast<LPARAM>(&item));
}

void CConfigDlg::OnAddListFile() {
  std::wstring path;
  if (ui::GetSystemCalls().open_file(hwnd(), kListFileTypes, &path)) AddList(path);
}

void CConfigDlg::OnAddListAddress() {
  CListAddressDlg address(hwnd());
  if (address.DoModal() == IDOK) AddList(address.address());
}

void CConfigDlg::OnRemoveList() {
  for (const int row : SelectedRowsFromTheEnd(Item(IDC_TRACKER_LISTS))) {
    if (row < static_cast<int>(m_arrLists.size())) m_arrLists.erase(m_arrLists.begin() + row);
  }
  ShowLists();
}

void CConfigDlg::OnOK() {
  const std::wstring filter = ReplaceAll(ItemText(IDC_FILTER), L"\r\n", L"\n");
  CtrackscrubApp::SetRegString(kValueFilter, filter.c_str());
  for (size_t i = 0; i < Browsers().size(); ++i) {
    CtrackscrubApp::SetRegDWORD(Browsers()[i].switch_name, IsChecked(SwitchControl(i)) ? 1 : 0);
  }
  // A list no longer named leaves no downloaded copy behind.
  std::vector<std::wstring> sources;
  for (const ListReport& report : m_arrLists) sources.push_back(report.source);
  for (const std::wstring& before : GetTrackerListSources()) {
    std::wstring copy;
    if (std::find(sources.begin(), sources.end(), before) == sources.end() && IsListAddress(before) &&
        ListCopyPath(before, &copy)) {
      platform::RemoveFile(copy);
      platform::RemoveFile(copy + L".state");
    }
  }
  SetTrackerListSources(sources);
  const std::wstring keep = ReplaceAll(ItemText(IDC_NEVER_CLEAN), L"\r\n", L"\n");
  CtrackscrubApp::SetRegString(kValueNeverClean, keep.empty() ? nullptr : keep.c_str());
  EndDialog(IDOK);
}

void CConfigDlg::OnDefaults() {
  CtrackscrubApp::RestoreDefaults();
  LoadPatternsAndSwitches();
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
  if (code == BN_CLICKED && id == IDC_ADD_LIST_FILE) {
    OnAddListFile();
    return true;
  }
  if (code == BN_CLICKED && id == IDC_ADD_LIST_ADDRESS) {
    OnAddListAddress();
    return true;
  }
  if (code == BN_CLICKED && id == IDC_REMOVE_LIST) {
    OnRemoveList();
    return true;
  }
  return CResizingDialog::OnCommand(id, code, control);
}

std::optional<LRESULT> CConfigDlg::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NOTIFY) {
    const NMHDR* notify = reinterpret_cast<const NMHDR*>(lparam);
    if (notify->idFrom == IDC_TRACKER_LISTS && notify->code == LVN_ITEMCHANGED) {
      EnableItem(IDC_REMOVE_LIST, SendMessageW(notify->hwndFrom, LVM_GETSELECTEDCOUNT, 0, 0) > 0);
      return 0;
    }
    return std::nullopt;
  }
  return CResizingDialog::OnMessage(message, wparam, lparam);
}
