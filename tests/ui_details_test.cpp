// The details dialog: rows, images, columns and their proportions.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <iterator>
#include <set>
#include <utility>

#include "app/run_filter.h"
#include "app/settings.h"
#include "model/cookie.h"
#include "scan/scanner.h"
#include "res/resource.h"
#include "ui/details_dlg.h"
#include "ui_support.h"

namespace {

// The list shows a browser's icon by its place in the table of browsers.
int ImageOf(Browser browser) { return static_cast<int>(&BrowserOf(browser) - Browsers().data()); }


class DetailsDialog : public UiTest {
 protected:
  ~DetailsDialog() override { dialog_.Destroy(); }
  HWND Open() {
    EXPECT_TRUE(dialog_.Create());
    ShowWindow(dialog_.hwnd(), SW_SHOW);
    list_ = GetDlgItem(dialog_.hwnd(), IDC_COOKIE_LIST);
    return dialog_.hwnd();
  }
  int Rows() const { return ListViewRows(list_); }
  std::wstring Cell(int row, int column) const { return ListViewCell(list_, row, column); }
  int Image(int row) const {
    LVITEMW item = {};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    SendMessageW(list_, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    return item.iImage;
  }
  int ColumnWidth(int k) const {
    return static_cast<int>(SendMessageW(list_, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(k), 0));
  }
  int ListWidth() const {
    RECT rect = {};
    GetWindowRect(list_, &rect);
    return rect.right - rect.left;
  }
  void Grow(int dx, int dy) {
    RECT window = {};
    GetWindowRect(dialog_.hwnd(), &window);
    SetWindowPos(dialog_.hwnd(), nullptr, 0, 0, window.right - window.left + dx,
                 window.bottom - window.top + dy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  CtrackscrubDlg dialog_;
  HWND list_ = nullptr;
};

TEST_F(DetailsDialog, ColumnsAndImages) {
  Open();
  // Their widths and the images' size, at the display's scale: ui_dpi_test.
  const wchar_t* headings[] = {L"", L"Site", L"Expires", L"Name", L"Value", L"Rule"};
  for (int k = 0; k < 6; ++k) {
    wchar_t text[32] = {};
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT | LVCF_FMT;
    column.pszText = text;
    column.cchTextMax = 32;
    ASSERT_TRUE(SendMessageW(list_, LVM_GETCOLUMNW, static_cast<WPARAM>(k), reinterpret_cast<LPARAM>(&column)));
    EXPECT_STREQ(text, headings[k]);
  }
  const HIMAGELIST images = reinterpret_cast<HIMAGELIST>(SendMessageW(list_, LVM_GETIMAGELIST, LVSIL_SMALL, 0));
  ASSERT_NE(images, nullptr);
  EXPECT_EQ(ImageList_GetImageCount(images), static_cast<int>(Browsers().size()));
  EXPECT_EQ(WindowText(dialog_.hwnd()), L"Trackscrub");
  EXPECT_NE(GetWindowLongW(dialog_.hwnd(), GWL_EXSTYLE) & WS_EX_APPWINDOW, 0);
  EXPECT_NE(GetWindowLongW(dialog_.hwnd(), GWL_STYLE) & WS_THICKFRAME, 0);
}

TEST_F(DetailsDialog, RowsShowEachItemWithItsBrowsersImageInStoreOrder) {
  profile_.Write(CookiePath("a.txt"),
                 "first\nv1\n.tracker.com/\n1536\n2015032320\n30912156\n3477790720\n30405223\n*\n"
                 "kept\nv\nexample.org/\n1536\n2015032320\n30912156\n3477790720\n30405223\n*\n"
                 "second\nv2\nads.net/path\n1536\n0\n0\n3477790720\n30405223\n*\n");
  Open();
  ASSERT_EQ(Rows(), 2);
  EXPECT_EQ(Cell(0, 1), L"tracker.com/");
  EXPECT_EQ(Cell(0, 3), L"first");
  EXPECT_EQ(Cell(0, 4), L"v1");
  EXPECT_EQ(Cell(1, 1), L"ads.net/path");
  EXPECT_EQ(Cell(1, 2), L"soon");  // expired long ago
  EXPECT_EQ(Cell(1, 3), L"second");
  EXPECT_EQ(Image(0), ImageOf(Browser::kIE));
  EXPECT_EQ(Image(1), ImageOf(Browser::kIE));
  EXPECT_EQ(Cell(0, 0), L"");
}

template <typename Item>
Item Made(const std::wstring& site, const std::wstring& name) {
  Item item;
  item.m_strSite = site;
  item.m_strName = name;
  item.m_strValue = L"v";
  return item;
}

TEST_F(DetailsDialog, GroupsStandInTheirOrderEachKeepingItsOwn) {
  Open();
  CScanLists lists;
  lists.flash_cookies = {Made<CFlashCookie>(L"flash.tracker.com", L"f1")};
  lists.safari_cookies = {Made<CSafariCookie>(L"s.tracker.com", L"sc")};
  lists.safari_userdata = {Made<CSafariUserdata>(L"s.tracker.com", L"su")};
  lists.chrome_cookies = {Made<CChromeCookie>(L"c.tracker.com", L"cc")};
  lists.chrome_userdata = {Made<CChromeUserdata>(L"c.tracker.com", L"cu")};
  lists.ie_cookies = {Made<CIECookie>(L"i.tracker.com/", L"ic1"),
                      Made<CIECookie>(L"i.tracker.com/", L"ic2")};
  lists.ie_userdata = {Made<CIEUserdata>(L"i.tracker.com", L"iu")};
  lists.firefox_cookies = {Made<CFirefoxCookie>(L".f.tracker.com", L"fc")};
  lists.firefox_userdata = {Made<CFirefoxUserdata>(L"f.tracker.com", L"fu1"),
                            Made<CFirefoxUserdata>(L"f.tracker.com", L"fu2")};
  // The Chromium family's one store: each item goes to its own browser's group.
  for (const auto& [name, browser] : {std::pair{L"e1", Browser::kEdge},
                                      std::pair{L"cx", Browser::kChrome},
                                      std::pair{L"cm", Browser::kChromium},
                                      std::pair{L"e2", Browser::kEdge}}) {
    lists.chromium_cookies.push_back(Made<CChromiumCookie>(L"x.tracker.com", name));
    lists.chromium_cookies.back().m_nBrowser = static_cast<int>(browser);
  }
  dialog_.ShowItems(lists);
  struct Row {
    const wchar_t* name;
    Browser browser;
  };
  const Row expected[] = {
      {L"fu1", Browser::kFirefox}, {L"fu2", Browser::kFirefox}, {L"fc", Browser::kFirefox},
      {L"iu", Browser::kIE},       {L"ic1", Browser::kIE},      {L"ic2", Browser::kIE},
      {L"cu", Browser::kChrome},   {L"cx", Browser::kChrome},   {L"cc", Browser::kChrome},
      {L"su", Browser::kSafari},   {L"sc", Browser::kSafari},   {L"f1", Browser::kFlash},
      {L"e1", Browser::kEdge},     {L"e2", Browser::kEdge},     {L"cm", Browser::kChromium}};
  ASSERT_EQ(Rows(), static_cast<int>(std::size(expected)));
  for (int row = 0; row < Rows(); ++row) {
    EXPECT_EQ(Cell(row, 3), expected[row].name) << row;
    EXPECT_EQ(Image(row), ImageOf(expected[row].browser)) << row;
  }
  EXPECT_EQ(Cell(2, 1), L"f.tracker.com");  // without its leading period
  EXPECT_EQ(Cell(0, 2), L"Unknown");         // storage has no expiry
}

TEST_F(DetailsDialog, RuleColumnNamesThePatternOrTheListAndKeptSitesShowNowhere) {
  profile_.Write("hosts.txt", "0.0.0.0 example.org\n");
  SetTrackerListSources({profile_.Path("hosts.txt")});
  CtrackscrubApp::SetRegString(kValueNeverClean, L"keep.tracker.com");
  WriteIECookies("a.txt", 1, "ads.net/");
  WriteIECookies("b.txt", 1, "www.example.org/");
  WriteIECookies("c.txt", 1, "keep.tracker.com/");
  Open();
  std::set<std::pair<std::wstring, std::wstring>> rows;
  for (int row = 0; row < Rows(); ++row) rows.emplace(Cell(row, 1), Cell(row, 5));
  EXPECT_EQ(rows, (std::set<std::pair<std::wstring, std::wstring>>{
                      {L"ads.net/", L"*.ads.net"}, {L"www.example.org/", L"hosts.txt: example.org"}}));
}

TEST_F(DetailsDialog, NothingFoundGivesAnEmptyListWithCleanNowAvailable) {
  Open();
  EXPECT_EQ(Rows(), 0);
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog_.hwnd(), IDOK)));
}

TEST_F(DetailsDialog, CleanNowEndsWithOkAndCloseWithCancel) {
  WriteIECookies("a.txt", 1, "tracker.com/");
  Click(Open(), IDOK);
  EXPECT_EQ(dialog_.result(), IDOK);
  EXPECT_TRUE(profile_.Exists(CookiePath("a.txt")));  // the dialog itself deletes nothing
  dialog_.Destroy();
  Click(Open(), IDCANCEL);
  EXPECT_EQ(dialog_.result(), IDCANCEL);
}

TEST_F(DetailsDialog, ResizingKeepsColumnProportionsAndTheIconColumn) {
  const HWND window = Open();
  const int width = ListWidth();
  const int* ratios = dialog_.column_ratios();
  for (int k = 0; k < 5; ++k) EXPECT_EQ(ratios[k], ColumnWidth(k) * 1000 / width) << k;
  const int original_ratios[5] = {ratios[0], ratios[1], ratios[2], ratios[3], ratios[4]};
  const int icon_column = ColumnWidth(0);
  Grow(100, 50);  // within a 1024-pixel screen at 150 % too
  const int wider = ListWidth();
  EXPECT_EQ(wider, width + 100);
  EXPECT_EQ(ColumnWidth(0), icon_column);
  for (int k = 1; k < 5; ++k) EXPECT_EQ(ColumnWidth(k), original_ratios[k] * wider / 1000) << k;
  // The buttons keep their distance from the lower right corner.
  RECT client = {};
  GetClientRect(window, &client);
  const RECT close = ControlRect(window, IDCANCEL);
  const RECT template_close = DialogUnits(window, 313, 174, 50, 14);
  const RECT template_client = DialogUnits(window, 0, 0, 370, 198);
  EXPECT_EQ(client.right - close.right, template_client.right - template_close.right);
  ShowWindow(window, SW_MINIMIZE);
  ShowWindow(window, SW_RESTORE);
  for (int k = 1; k < 5; ++k) EXPECT_EQ(dialog_.column_ratios()[k], original_ratios[k]) << k;
}

TEST_F(DetailsDialog, DraggedDividerKeepsItsNewProportion) {
  Open();
  const int width = ListWidth();
  HDITEMW item = {};
  item.mask = HDI_WIDTH;
  item.cxy = 300;
  NMHEADERW header = {};
  header.hdr.hwndFrom = reinterpret_cast<HWND>(SendMessageW(list_, LVM_GETHEADER, 0, 0));
  header.hdr.code = HDN_ENDTRACKW;
  header.iItem = 4;
  header.pitem = &item;
  SendMessageW(dialog_.hwnd(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header));
  EXPECT_EQ(dialog_.column_ratios()[4], 300 * 1000 / width);
  Grow(100, 0);
  EXPECT_EQ(ColumnWidth(4), (300 * 1000 / width) * (width + 100) / 1000);
}

}  // namespace
