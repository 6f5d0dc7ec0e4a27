#include "ui/details_dlg.h"

#include "app/run_filter.h"
#include "app/settings.h"
#include "model/filter.h"
#include "scan/scanner.h"
#include "res/resource.h"

namespace {

constexpr ui::ListColumn kColumnTable[CtrackscrubDlg::kColumns] = {
    {L"", LVCFMT_IMAGE, 22},    {L"Site", LVCFMT_LEFT, 110},  {L"Expires", LVCFMT_LEFT, 64},
    {L"Name", LVCFMT_LEFT, 90}, {L"Value", LVCFMT_LEFT, 110}, {L"Rule", LVCFMT_LEFT, 114},
};

int OuterWidth(HWND control) {
  RECT rect = {};
  GetWindowRect(control, &rect);
  return rect.right - rect.left;
}

void SetCellText(HWND list, int row, int column, const std::wstring& text) {
  LVITEMW item = {};
  item.iSubItem = column;
  item.pszText = const_cast<wchar_t*>(text.c_str());
  SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

}  // namespace

CtrackscrubDlg::CtrackscrubDlg(HWND parent) : CResizingDialog(IDD_DETAILS, parent) {
  using namespace ui;
  AddAnchor(IDC_COOKIE_LIST, ANCHOR_SIZE_X | ANCHOR_SIZE_Y);
  AddAnchor(IDCANCEL, ANCHOR_MOVE_X | ANCHOR_MOVE_Y);
  AddAnchor(IDOK, ANCHOR_MOVE_X | ANCHOR_MOVE_Y);
}

BOOL CtrackscrubDlg::OnInitDialog() {
  CResizingDialog::OnInitDialog();
  SetWindowIcons(IDI_APPLICATION_ICON);

  const HWND list = Item(IDC_COOKIE_LIST);
  ui::AddListColumns(list, kColumnTable, kColumns, dpi());
  SetImages();
  FillList();
  return TRUE;
}

void CtrackscrubDlg::SetImages() {
  const int size = ui::SmallIconSize(dpi());
  const HIMAGELIST images = ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 4, 4);
  if (images == nullptr) return;
  // A browser's image is its place in the table of browsers.
  for (const BrowserInfo& browser : Browsers()) {
    ImageList_AddIcon(images, ui::LoadIconAt(browser.icon, size).get());
  }
  // The list owns the images it shows (it has no LVS_SHAREIMAGELISTS) and hands
  // back the ones it showed before.
  const HIMAGELIST before = reinterpret_cast<HIMAGELIST>(SendDlgItemMessageW(
      hwnd(), IDC_COOKIE_LIST, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images)));
  if (before != nullptr) ImageList_Destroy(before);
}

void CtrackscrubDlg::AddGroup(const std::vector<const CCookie*>& items, int image) {
  const HWND list = Item(IDC_COOKIE_LIST);
  int row = 0;
  for (const CCookie* cookie : items) {
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = row;
    item.pszText = const_cast<wchar_t*>(L"");
    item.iImage = image;
    const int at = static_cast<int>(
        SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (at >= 0) {
      SetCellText(list, at, 1, cookie->GetDisplaySite());
      SetCellText(list, at, 2, cookie->GetExpires());
      SetCellText(list, at, 3, cookie->GetName());
      SetCellText(list, at, 4, cookie->GetValue());
      SetCellText(list, at, 5, cookie->GetRule());
    }
    ++row;
  }
}

BOOL CtrackscrubDlg::FillList() {
  const RunFilter run = BuildSettingsFilter();
  const CCookieFilter& filter = run.filter;
  CScanLists lists;
  RunScanSequence(filter, &lists, CtrackscrubApp::IsBrowserEnabled);
  ShowItems(lists);
  RememberColumnRatios();
  return TRUE;
}

void CtrackscrubDlg::ShowItems(const CScanLists& lists) {
  SendDlgItemMessageW(hwnd(), IDC_COOKIE_LIST, LVM_DELETEALLITEMS, 0, 0);
  // Each group goes in at the top, above the groups before it: the browsers from the
  // bottom of the list up, each browser's stores in their order.
  const std::vector<const BrowserInfo*> browsers = BrowsersBy(&BrowserInfo::details_place);
  for (auto browser = browsers.rbegin(); browser != browsers.rend(); ++browser) {
    const int image = static_cast<int>(*browser - Browsers().data());
    for (const StoreEntry& store : (*browser)->stores) AddGroup(store.items(**browser, lists), image);
  }
}

void CtrackscrubDlg::RememberColumnRatios() {
  const HWND list = Item(IDC_COOKIE_LIST);
  const int width = OuterWidth(list);
  if (width <= 0) return;
  for (int k = 0; k < kColumns; ++k) {
    const int column = static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(k), 0));
    m_nColumnRatio[k] = column * 1000 / width;
  }
}

void CtrackscrubDlg::OnHeaderEndTrack(const NMHEADERW& header) {
  // The header sends this before it applies the new width: take the dragged
  // column's width from the notification, the others from the list.
  RememberColumnRatios();
  const int width = OuterWidth(Item(IDC_COOKIE_LIST));
  if (width > 0 && header.pitem != nullptr && (header.pitem->mask & HDI_WIDTH) != 0 &&
      header.iItem >= 0 && header.iItem < kColumns) {
    m_nColumnRatio[header.iItem] = header.pitem->cxy * 1000 / width;
  }
}

std::optional<LRESULT> CtrackscrubDlg::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NOTIFY) {
    const NMHDR* notify = reinterpret_cast<const NMHDR*>(lparam);
    if (notify->code == HDN_ENDTRACKW || notify->code == HDN_ENDTRACKA) {
      OnHeaderEndTrack(*reinterpret_cast<const NMHEADERW*>(lparam));
      return 0;
    }
    return std::nullopt;
  }
  return CResizingDialog::OnMessage(message, wparam, lparam);
}

void CtrackscrubDlg::OnSize(UINT type, int cx, int cy) {
  CResizingDialog::OnSize(type, cx, cy);
  if (type != SIZE_MINIMIZED) ApplyColumnRatios();
}

void CtrackscrubDlg::OnDpiChanged(UINT old_dpi) {
  CResizingDialog::OnDpiChanged(old_dpi);
  SendDlgItemMessageW(hwnd(), IDC_COOKIE_LIST, LVM_SETCOLUMNWIDTH, 0,
                      MAKELPARAM(ui::Scale(kColumnTable[0].width, dpi()), 0));
  ApplyColumnRatios();
  SetImages();
}

void CtrackscrubDlg::ApplyColumnRatios() {
  const HWND list = Item(IDC_COOKIE_LIST);
  if (list == nullptr) return;
  const int width = OuterWidth(list);
  for (int k = 1; k < kColumns; ++k) {
    SendMessageW(list, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(k),
                 MAKELPARAM(m_nColumnRatio[k] * width / 1000, 0));
  }
}
