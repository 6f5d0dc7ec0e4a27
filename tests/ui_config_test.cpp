// The options dialog and the resizing behaviour it inherits.
#include <windows.h>

#include <gtest/gtest.h>

#include <commctrl.h>

#include <iterator>
#include <set>

#include "app/run_filter.h"
#include "app/settings.h"
#include "platform/platform.h"
#include "res/resource.h"
#include "ui/config_dlg.h"
#include "ui/system_calls.h"
#include "ui_support.h"

namespace {

class OptionsDialog : public UiTest {
 protected:
  ~OptionsDialog() override { dialog_.Destroy(); }
  HWND Open() {
    EXPECT_TRUE(dialog_.Create());
    ShowWindow(dialog_.hwnd(), SW_SHOW);
    return dialog_.hwnd();
  }
  std::wstring Filter() const { return WindowText(GetDlgItem(dialog_.hwnd(), IDC_FILTER)); }
  bool Stored(const wchar_t* name) const {
    uint32_t type = 0;
    return ReadRawValue(L"Software\\Trackscrub", name, &type, nullptr);
  }
  // Resizes the whole window by dx, dy pixels.
  void Grow(int dx, int dy) {
    RECT window = {};
    GetWindowRect(dialog_.hwnd(), &window);
    SetWindowPos(dialog_.hwnd(), nullptr, 0, 0, window.right - window.left + dx,
                 window.bottom - window.top + dy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  // The tracker lists: a cell's text, the number of rows.
  std::wstring ListCell(int row, int column) const { return ListViewCell(Lists(), row, column); }
  int ListRows() const { return ListViewRows(Lists()); }
  HWND Lists() const { return GetDlgItem(dialog_.hwnd(), IDC_TRACKER_LISTS); }

  CConfigDlg dialog_;
};

constexpr int kSwitchBoxes[] = {IDC_PROCESS_IE,      IDC_PROCESS_FIREFOX, IDC_PROCESS_CHROME,
                                IDC_PROCESS_SAFARI,  IDC_PROCESS_FLASH,   IDC_PROCESS_EDGE,
                                IDC_PROCESS_BRAVE,   IDC_PROCESS_VIVALDI, IDC_PROCESS_OPERA,
                                IDC_PROCESS_CHROMIUM};
const wchar_t* const kSwitchValues[] = {
    BrowserOf(Browser::kIE).switch_name,      BrowserOf(Browser::kFirefox).switch_name,
    BrowserOf(Browser::kChrome).switch_name,  BrowserOf(Browser::kSafari).switch_name,
    BrowserOf(Browser::kFlash).switch_name,   BrowserOf(Browser::kEdge).switch_name,
    BrowserOf(Browser::kBrave).switch_name,   BrowserOf(Browser::kVivaldi).switch_name,
    BrowserOf(Browser::kOpera).switch_name,   BrowserOf(Browser::kChromium).switch_name};

TEST_F(OptionsDialog, ShowsTheFilterOnePatternPerLineAndTheSwitches) {
  CtrackscrubApp::SetRegString(kValueFilter, L"*.a.com\n*.b.+\n");
  CtrackscrubApp::SetRegDWORD(BrowserOf(Browser::kFirefox).switch_name, 0);
  CtrackscrubApp::SetRegDWORD(BrowserOf(Browser::kFlash).switch_name, 7);
  CtrackscrubApp::SetRegDWORD(BrowserOf(Browser::kVivaldi).switch_name, 0);
  const HWND window = Open();
  EXPECT_EQ(WindowText(window), L"Configuration");
  EXPECT_EQ(Filter(), L"*.a.com\r\n*.b.+\r\n");
  EXPECT_TRUE(dialog_.IsChecked(IDC_PROCESS_IE));
  EXPECT_FALSE(dialog_.IsChecked(IDC_PROCESS_FIREFOX));
  EXPECT_TRUE(dialog_.IsChecked(IDC_PROCESS_FLASH));
  EXPECT_FALSE(dialog_.IsChecked(IDC_PROCESS_VIVALDI));
  EXPECT_TRUE(dialog_.IsChecked(IDC_PROCESS_CHROMIUM));
  EXPECT_EQ(GetFocus(), GetDlgItem(window, IDC_FILTER));
}

TEST_F(OptionsDialog, OkStoresTheFilterWithLineFeedsAndEverySwitch) {
  const HWND window = Open();
  SetDlgItemTextW(window, IDC_FILTER, L"*.x.com\r\n\r\n# note\r\n*.y.net");
  Click(window, IDC_PROCESS_CHROME);
  Click(window, IDC_PROCESS_SAFARI);
  Click(window, IDC_PROCESS_OPERA);
  Click(window, IDOK);
  EXPECT_TRUE(dialog_.ended());
  EXPECT_EQ(dialog_.result(), IDOK);
  EXPECT_EQ(CtrackscrubApp::GetRegString(kValueFilter, L"?"), L"*.x.com\n\n# note\n*.y.net");
  const uint32_t expected[] = {1, 1, 0, 0, 1, 1, 1, 1, 0, 1};
  for (size_t i = 0; i < std::size(kSwitchValues); ++i) {
    EXPECT_EQ(CtrackscrubApp::GetRegDWORD(kSwitchValues[i], 99), expected[i]) << i;
  }
}

TEST_F(OptionsDialog, EmptyFilterIsStoredAsEmptyNotAsAbsent) {
  const HWND window = Open();
  SetDlgItemTextW(window, IDC_FILTER, L"");
  Click(window, IDOK);
  EXPECT_EQ(CtrackscrubApp::GetRegString(kValueFilter, L"default"), L"");
  EXPECT_TRUE(Stored(kValueFilter));
}

TEST_F(OptionsDialog, CancelStoresNothing) {
  const HWND window = Open();
  SetDlgItemTextW(window, IDC_FILTER, L"*.changed.com");
  Click(window, IDC_PROCESS_IE);
  Click(window, IDCANCEL);
  EXPECT_EQ(dialog_.result(), IDCANCEL);
  EXPECT_EQ(CtrackscrubApp::GetRegString(kValueFilter, L"?"), L"*.tracker.com\n*.ads.net\n");
  EXPECT_FALSE(Stored(BrowserOf(Browser::kIE).switch_name));
}

TEST_F(OptionsDialog, DefaultsDeleteAtOnceAndStayDeletedAfterCancel) {
  for (const wchar_t* value : kSwitchValues) CtrackscrubApp::SetRegDWORD(value, 0);
  SetTrackerListSources({L"https://lists.example.org/l"});
  const HWND window = Open();
  EXPECT_FALSE(dialog_.IsChecked(IDC_PROCESS_IE));
  SetDlgItemTextW(window, IDC_NEVER_CLEAN, L"typed.example");
  Click(window, IDC_DEFAULTS);
  EXPECT_FALSE(dialog_.ended());
  // The tracker lists and the keep list stay as shown.
  EXPECT_EQ(ListRows(), 1);
  EXPECT_EQ(WindowText(GetDlgItem(window, IDC_NEVER_CLEAN)), L"typed.example");
  EXPECT_FALSE(Stored(kValueFilter));
  for (const wchar_t* value : kSwitchValues) EXPECT_FALSE(Stored(value));
  for (const int box : kSwitchBoxes) EXPECT_TRUE(dialog_.IsChecked(box)) << box;
  std::wstring shown_default;
  for (const wchar_t c : DefaultFilterText()) {
    if (c == L'\n') shown_default += L'\r';
    shown_default += c;
  }
  EXPECT_EQ(Filter(), shown_default);
  Click(window, IDCANCEL);
  EXPECT_FALSE(Stored(kValueFilter));
  EXPECT_FALSE(Stored(BrowserOf(Browser::kIE).switch_name));
  EXPECT_EQ(GetTrackerListSources(), std::vector<std::wstring>{L"https://lists.example.org/l"});
  EXPECT_FALSE(Stored(kValueNeverClean));
}

TEST_F(OptionsDialog, MoreInfoExplainsTheSyntax) {
  const HWND window = Open();
  Click(window, IDC_MORE_INFO);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].caption, L"Trackscrub Configuration Details");
  EXPECT_EQ(messages_[0].type, static_cast<UINT>(MB_ICONINFORMATION));
  const std::wstring& text = messages_[0].text;
  EXPECT_EQ(text.rfind(L"A cookie will be considered evil if the originating website matches one "
                       L"of the listed sites.\n\n", 0), 0u);
  EXPECT_NE(text.find(L"\n\nThe '+' wildcard can be used to match every character except the "
                      L"period - this is useful to designate any TLD."), std::wstring::npos);
  EXPECT_NE(text.find(L"\n\nPaths within a website will be ignored - "), std::wstring::npos);
  EXPECT_NE(text.find(L"\n\nA note on domain cookies: When processing the domains strings "
                      L"Trackscrub will temporarily prepend a period to the domain name if it's "
                      L"not there already; this way the "), std::wstring::npos);
  EXPECT_EQ(text.substr(text.size() - 55),
            L"\n\nEmpty lines will be ignored. Start comments with '#'.");
  EXPECT_FALSE(dialog_.ended());
}

TEST_F(OptionsDialog, TrackerListsShowNameDomainsWhenUpdatedAndWhatIsWrong) {
  profile_.Write("hosts.txt", "0.0.0.0 a.example b.example\n");
  ListDownloadState failed;
  failed.checked = failed.confirmed = 133000000000000000ull;  // in 2022
  failed.failure = L"the server answered 500";
  profile_.WriteListCopy(L"https://lists.example.org/l", "one.example\ntwo.example\nthree.example\n", &failed);
  SetTrackerListSources({profile_.Path("hosts.txt"), profile_.Path("missing.txt"),
                         L"https://lists.example.org/l", L"https://new.example.org/l"});
  CtrackscrubApp::SetRegString(kValueNeverClean, L"bank.example\nmail.example");
  Open();
  const struct {
    std::wstring name, domains, updated_start, updated_end;
  } rows[] = {
      {L"hosts.txt", L"2", L"20", L""},
      {L"missing.txt", L"", L"was not found", L"was not found"},
      {L"https://lists.example.org/l", L"3", L"2022-", L"; download failed: the server answered 500; last good copy kept"},
      {L"https://new.example.org/l", L"", L"not downloaded yet", L"not downloaded yet"},
  };
  ASSERT_EQ(ListRows(), static_cast<int>(std::size(rows)));
  for (int row = 0; row < ListRows(); ++row) {
    const std::wstring updated = ListCell(row, 2);
    EXPECT_EQ(ListCell(row, 0), rows[row].name);
    EXPECT_EQ(ListCell(row, 1), rows[row].domains) << row;
    EXPECT_EQ(updated.rfind(rows[row].updated_start, 0), 0u) << updated;
    EXPECT_TRUE(updated.ends_with(rows[row].updated_end)) << updated;
  }
  EXPECT_EQ(WindowText(GetDlgItem(dialog_.hwnd(), IDC_NEVER_CLEAN)), L"bank.example\r\nmail.example");
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog_.hwnd(), IDC_REMOVE_LIST)));
}

TEST_F(OptionsDialog, ListsAddedFromAFileOrAnAddressAndRemovedAreStoredOnOk) {
  profile_.Write("a.txt", "a.example\n");
  const std::wstring file = profile_.Path("a.txt");
  ui::GetSystemCalls().open_file = [&file](HWND, const wchar_t*, std::wstring* path) { return *path = file, true; };
  const ListDownloadState never_asked;
  const std::string old_copy = profile_.WriteListCopy(L"https://old.example.org/l", "one.example\ntwo.example\nthree.example\n",
                                                      &never_asked);
  SetTrackerListSources({L"https://old.example.org/l"});
  const HWND window = Open();
  ListView_SetItemState(Lists(), 0, LVIS_SELECTED, LVIS_SELECTED);
  Click(window, IDC_REMOVE_LIST);
  Click(window, IDC_ADD_LIST_FILE);
  Click(window, IDC_ADD_LIST_FILE);  // a list is there once
  WhileDialogOpen(
      L"Add a tracker list",
      [](HWND add) {
        for (const wchar_t* typed : {L" http://lists.example.org/l", L"http://127.0.0.1:8080/l "}) {
          SetDlgItemTextW(add, IDC_LIST_ADDRESS, typed);
          Click(add, IDOK);
        }
      },
      [window] { Click(window, IDC_ADD_LIST_ADDRESS); });
  ASSERT_EQ(messages_.size(), 1u);  // the plain http:// address to another computer
  EXPECT_EQ(messages_[0].caption, L"Add a tracker list");
  EXPECT_EQ(ListRows(), 2);
  SetDlgItemTextW(window, IDC_NEVER_CLEAN, L"bank.example\r\nmail.example");
  Click(window, IDOK);
  EXPECT_EQ(GetTrackerListSources(), (std::vector<std::wstring>{file, L"http://127.0.0.1:8080/l"}));
  EXPECT_EQ(GetNeverCleanText(), L"bank.example\nmail.example");
  EXPECT_FALSE(profile_.Exists(old_copy));
  EXPECT_FALSE(profile_.Exists(old_copy + ".state"));
}

// ---- Resizing

TEST_F(OptionsDialog, EnlargingMovesAndGrowsTheAnchoredControls) {
  const HWND window = Open();
  struct Before {
    int id;
    RECT rect;
  };
  const int ids[] = {IDC_FILTER, IDC_FILTER_HELP, IDC_MORE_INFO, IDC_DEFAULTS, IDOK, IDCANCEL,
                     IDC_ICON_IE, IDC_PROCESS_IE, IDC_ICON_FLASH, IDC_PROCESS_FLASH,
                     IDC_ICON_CHROMIUM, IDC_PROCESS_CHROMIUM, IDC_TRACKER_LISTS, IDC_ADD_LIST_FILE,
                     IDC_NEVER_CLEAN};
  std::vector<Before> before;
  for (const int id : ids) before.push_back({id, ControlRect(window, id)});
  Grow(60, 40);  // within a 1024-pixel screen at 150 % too
  Grow(-20, -20);  // relative to the previous size, so the changes add up
  const int dx = 40, dy = 20;
  for (const Before& b : before) {
    const RECT now = ControlRect(window, b.id);
    RECT want = b.rect;
    switch (b.id) {
      case IDC_FILTER:
        want.right += dx;
        want.bottom += dy;
        break;
      case IDC_TRACKER_LISTS:
        want.right += dx;
        OffsetRect(&want, 0, dy);
        break;
      case IDC_ADD_LIST_FILE:
        OffsetRect(&want, 0, dy);
        break;
      case IDC_NEVER_CLEAN:
      case IDC_MORE_INFO:
      case IDC_DEFAULTS:
      case IDOK:
      case IDCANCEL:
        OffsetRect(&want, dx, dy);
        break;
      default:
        OffsetRect(&want, dx, 0);
        break;
    }
    EXPECT_TRUE(EqualRect(&now, &want))
        << "control " << b.id << ": " << now.left << "," << now.top << "," << now.right << ","
        << now.bottom;
  }
}

TEST_F(OptionsDialog, MinimumTrackSizeIsTheOpeningSize) {
  const HWND window = Open();
  RECT opened = {};
  GetWindowRect(window, &opened);
  Grow(80, 80);
  MINMAXINFO info = {};
  SendMessageW(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.ptMinTrackSize.x, opened.right - opened.left);
  EXPECT_EQ(info.ptMinTrackSize.y, opened.bottom - opened.top);
  EXPECT_EQ(dialog_.minimum_track_size().cx, opened.right - opened.left);
}

TEST_F(OptionsDialog, MinimiseAndRestoreLeaveControlsInPlace) {
  const HWND window = Open();
  const RECT filter = ControlRect(window, IDC_FILTER);
  const RECT ok = ControlRect(window, IDOK);
  ShowWindow(window, SW_MINIMIZE);
  ShowWindow(window, SW_RESTORE);
  const RECT filter_after = ControlRect(window, IDC_FILTER);
  const RECT ok_after = ControlRect(window, IDOK);
  EXPECT_TRUE(EqualRect(&filter, &filter_after));
  EXPECT_TRUE(EqualRect(&ok, &ok_after));
}

TEST_F(OptionsDialog, GripCornerSizesTheDialog) {
  const HWND window = Open();
  RECT rect = {};
  GetWindowRect(window, &rect);
  RECT client = {};
  GetClientRect(window, &client);
  POINT inside_grip = {client.right - 2, client.bottom - 2};
  ClientToScreen(window, &inside_grip);
  EXPECT_EQ(SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(inside_grip.x, inside_grip.y)),
            HTBOTTOMRIGHT);
  POINT middle = {client.right / 2, client.bottom / 2};
  ClientToScreen(window, &middle);
  EXPECT_EQ(SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(middle.x, middle.y)), HTCLIENT);
}

TEST_F(OptionsDialog, TemplatePlacesTheControls) {
  const HWND window = Open();
  struct Placed {
    int id, x, y, cx, cy;
    const wchar_t* text;
  };
  const Placed table[] = {
      {IDC_FILTER, 6, 18, 216, 158, nullptr},
      {IDC_PROCESS_IE, 252, 18, 72, 18, L"Clean Internet Explorer cookies"},
      {IDC_PROCESS_FIREFOX, 252, 40, 72, 18, L"Clean Firefox cookies"},
      {IDC_PROCESS_CHROME, 252, 62, 72, 18, L"Clean Google Chrome cookies"},
      {IDC_PROCESS_SAFARI, 252, 84, 72, 18, L"Clean Safari cookies"},
      {IDC_PROCESS_FLASH, 252, 106, 72, 18, L"Clean Flash local storage"},
      {IDC_PROCESS_EDGE, 352, 18, 72, 18, L"Clean Microsoft Edge cookies"},
      {IDC_PROCESS_BRAVE, 352, 40, 72, 18, L"Clean Brave cookies"},
      {IDC_PROCESS_VIVALDI, 352, 62, 72, 18, L"Clean Vivaldi cookies"},
      {IDC_PROCESS_OPERA, 352, 84, 72, 18, L"Clean Opera cookies"},
      {IDC_PROCESS_CHROMIUM, 352, 106, 72, 18, L"Clean Chromium cookies"},
      {IDC_LISTS_LABEL, 6, 182, 262, 8, L"&Tracker lists:"},
      {IDC_TRACKER_LISTS, 6, 194, 262, 46, nullptr},
      {IDC_ADD_LIST_FILE, 6, 244, 60, 14, L"Add &file..."},
      {IDC_ADD_LIST_ADDRESS, 70, 244, 66, 14, L"Add &address..."},
      {IDC_REMOVE_LIST, 140, 244, 50, 14, L"&Remove"},
      {IDC_NEVER_CLEAN_LABEL, 276, 182, 148, 8, L"&Never clean (one site per line):"},
      {IDC_NEVER_CLEAN, 276, 194, 148, 64, nullptr},
      {IDC_MORE_INFO, 212, 264, 50, 14, L"&More info..."},
      {IDC_DEFAULTS, 266, 264, 50, 14, L"&Defaults"},
      {IDOK, 320, 264, 50, 14, L"OK"},
      {IDCANCEL, 374, 264, 50, 14, L"Cancel"},
      {IDC_FILTER_HELP, 230, 128, 194, 48,
       L"Cookies will be considered evil if the originating website matches one of the strings "
       L"above.\n\nThe * character acts as a wildcard and matches everything, the + character "
       L"matches everything with the exception of a period."},
  };
  for (const Placed& p : table) {
    const RECT want = DialogUnits(window, p.x, p.y, p.cx, p.cy);
    const RECT got = ControlRect(window, p.id);
    EXPECT_TRUE(EqualRect(&want, &got))
        << "control " << p.id << ": " << got.left << "," << got.top << "," << got.right << ","
        << got.bottom << " want " << want.left << "," << want.top << "," << want.right << ","
        << want.bottom;
    if (p.text != nullptr) {
      EXPECT_EQ(WindowText(GetDlgItem(window, p.id)), p.text);
    }
  }
  // Template order is the tab order.
  const int order[] = {IDC_FILTER,        IDC_PROCESS_IE,      IDC_PROCESS_FIREFOX,
                       IDC_PROCESS_CHROME, IDC_PROCESS_SAFARI,  IDC_PROCESS_FLASH,
                       IDC_PROCESS_EDGE,  IDC_PROCESS_BRAVE,   IDC_PROCESS_VIVALDI,
                       IDC_PROCESS_OPERA, IDC_PROCESS_CHROMIUM, IDC_LISTS_LABEL,
                       IDC_TRACKER_LISTS, IDC_ADD_LIST_FILE, IDC_ADD_LIST_ADDRESS,
                       IDC_REMOVE_LIST,   IDC_NEVER_CLEAN_LABEL, IDC_NEVER_CLEAN, IDC_MORE_INFO,
                       IDC_DEFAULTS,      IDOK,                IDCANCEL,
                       IDC_STATIC,        IDC_FILTER_HELP,     IDC_ICON_IE,
                       IDC_ICON_FIREFOX,  IDC_ICON_CHROME,     IDC_ICON_SAFARI,
                       IDC_ICON_FLASH,    IDC_ICON_EDGE,       IDC_ICON_BRAVE,
                       IDC_ICON_VIVALDI,  IDC_ICON_OPERA,      IDC_ICON_CHROMIUM};
  HWND child = GetWindow(window, GW_CHILD);
  for (const int id : order) {
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(GetDlgCtrlID(child), id);
    child = GetWindow(child, GW_HWNDNEXT);
  }
  EXPECT_EQ(child, nullptr);
  // The rows' IDs, made at run time, are the dialog's own.
  std::set<int> ids;
  for (HWND c = GetWindow(window, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
    const int id = GetDlgCtrlID(c);
    EXPECT_TRUE(id == IDC_STATIC || ids.insert(id).second) << "control " << id << " twice";
  }
}

}  // namespace
