// The main window, driven through its real controls.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/run_filter.h"
#include "app/settings.h"
#include "app/version.h"
#include "platform/platform.h"
#include "scan/scanner.h"
#include "res/resource.h"
#include "ui/app_profile.h"
#include "ui/autostart.h"
#include "ui/intro.h"
#include "ui/system_calls.h"
#include "update/version_reply.h"
#include "ui_support.h"
#include "version.rh"

namespace {

const std::wstring kNeverCleaned = L"\n\nNo cleanup has been performed yet.";
const std::wstring kNothingFound = L"No evil cookies have been found on your computer.";
const wchar_t kRunningPrompt[] =
    L" appears to be running. For Trackscrub to be effective, it is recommended to close your "
    L"browser windows before this step. Do you wish to clean cookies in this browser, even if it "
    L"is running?";

class MainWindow : public UiTest {
 protected:
  ~MainWindow() override { intro_.Destroy(); }

  HWND Open() {
    EXPECT_TRUE(intro_.Create());
    ShowWindow(intro_.hwnd(), SW_SHOW);
    return intro_.hwnd();
  }
  std::wstring Text(int id) const { return WindowText(GetDlgItem(intro_.hwnd(), id)); }
  bool Enabled(int id) const { return IsWindowEnabled(GetDlgItem(intro_.hwnd(), id)) != FALSE; }
  int Selection(int id) const {
    return static_cast<int>(SendDlgItemMessageW(intro_.hwnd(), id, CB_GETCURSEL, 0, 0));
  }
  uint32_t Setting(const wchar_t* name) const { return CtrackscrubApp::GetRegDWORD(name, 0xDEAD); }

  CIntro intro_;
};

// ---- The summary

TEST_F(MainWindow, NothingFoundDisablesDetailsAndCleanNow) {
  WriteIECookies("harmless.txt", 2, "www.example.org/");
  Open();
  EXPECT_EQ(Text(IDC_SUMMARY), kNothingFound + kNeverCleaned);
  EXPECT_FALSE(Enabled(IDC_DETAILS));
  EXPECT_FALSE(Enabled(IDC_CLEAN_NOW));
  EXPECT_TRUE(Enabled(IDOK));
}

TEST_F(MainWindow, ItemsInOneBrowserAreNamedInOneSentence) {
  WriteIECookies("a.txt", 2, "tracker.com/");
  WriteIECookies("b.txt", 1, ".ads.net/");
  Open();
  EXPECT_EQ(Text(IDC_SUMMARY),
            L"3 potentially evil cookies have been found on your computer: all of them are in "
            L"Internet Explorer." + kNeverCleaned);
  EXPECT_TRUE(Enabled(IDC_DETAILS));
  EXPECT_TRUE(Enabled(IDC_CLEAN_NOW));
}

TEST_F(MainWindow, RecordedCleanIsShownInsteadOfNeverCleaned) {
  SetLastCleanSecondsAgo(3600);
  Open();
  const std::wstring summary = Text(IDC_SUMMARY);
  EXPECT_EQ(summary.rfind(kNothingFound + L"\n\nA cleanup was last performed at: ", 0), 0u)
      << platform::Utf8FromWide(summary);
}

TEST_F(MainWindow, BrowsersSwitchedOffAreNotScanned) {
  WriteIECookies("a.txt", 2, "tracker.com/");
  CtrackscrubApp::SetRegDWORD(BrowserOf(Browser::kIE).switch_name, 0);
  Open();
  EXPECT_EQ(Text(IDC_SUMMARY), kNothingFound + kNeverCleaned);
  EXPECT_FALSE(Enabled(IDC_CLEAN_NOW));
}

CScanLists ListsWith(size_t ie, size_t firefox, size_t chrome, size_t safari, size_t flash,
                     std::vector<Browser> held = {}) {
  CScanLists lists;
  lists.ie_cookies.resize(ie);
  lists.firefox_userdata.resize(firefox);
  lists.chrome_cookies.resize(chrome);
  lists.safari_userdata.resize(safari);
  lists.flash_cookies.resize(flash);
  for (const Browser browser : held) {
    lists.held.push_back({browser, HeldStore{L"Default", L"C:\\Cookies"}});
  }
  return lists;
}

TEST_F(MainWindow, SummaryWording) {
  Open();
  struct Case {
    CScanLists lists;
    const wchar_t* text;
  };
  const Case cases[] = {
      {ListsWith(2, 5, 1, 0, 0),
       L"8 potentially evil cookies have been found on your computer: 2 in Internet Explorer, 5 "
       L"in Firefox, 1 in Google Chrome."},
      {ListsWith(0, 0, 0, 0, 4),
       L"4 potentially evil cookies have been found on your computer: all of them are in "
       L"Macromedia Flash."},
      {ListsWith(1, 0, 2, 3, 4),
       L"10 potentially evil cookies have been found on your computer: 1 in Internet Explorer, 3 "
       L"in Safari, 4 in Adobe Flash, 2 in Google Chrome."},
      {ListsWith(0, 0, 0, 6, 0),
       L"6 potentially evil cookies have been found on your computer: all of them are in Safari."},
      {ListsWith(0, 0, 0, 0, 0), L"No evil cookies have been found on your computer."},
      // A running browser that held its database gets a paragraph of its own, once
      // however many of its databases it held, in the order of the table of browsers.
      {ListsWith(2, 0, 0, 0, 0, {Browser::kEdge, Browser::kEdge, Browser::kFirefox}),
       L"2 potentially evil cookies have been found on your computer: all of them are in "
       L"Internet Explorer.\n\nFirefox is running; close it to clean its cookies.\n\nMicrosoft "
       L"Edge is running; close it to clean its cookies."},
      {ListsWith(0, 0, 0, 0, 0, {Browser::kChromium}),
       L"No evil cookies have been found on your computer.\n\nChromium is running; close it to "
       L"clean its cookies."},
  };
  for (const Case& c : cases) {
    intro_.ShowSummary(c.lists);
    EXPECT_EQ(Text(IDC_SUMMARY), c.text + kNeverCleaned);
    EXPECT_EQ(Enabled(IDC_DETAILS), c.lists.Total() > 0);
    EXPECT_EQ(Enabled(IDC_CLEAN_NOW), c.lists.Total() > 0);
  }
}

TEST_F(MainWindow, WindowIsTheTemplateWithTheUpdateLinkHidden) {
  const HWND window = Open();
  EXPECT_EQ(WindowText(window), L"" TS_MAIN_CAPTION);
  EXPECT_EQ(Text(IDC_DETAILS), L"&Details...");
  EXPECT_EQ(Text(IDC_CLEAN_NOW), L"&Clean Now");
  EXPECT_EQ(Text(IDC_OPTIONS), L"&Options...");
  EXPECT_EQ(Text(IDOK), L"E&xit");
  EXPECT_EQ(Text(IDC_AUTOSTART), L"C&lean evil cookies upon login every ");
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(window, IDC_UPDATE_LINK)));
  EXPECT_EQ(GetWindowLongW(window, GWL_STYLE) & WS_THICKFRAME, 0);
  // Template order is the tab order.
  const int order[] = {IDC_DETAILS, IDC_CLEAN_NOW, IDC_OPTIONS, IDOK, IDC_AUTOSTART,
                       IDC_FREQUENCY, IDC_UNIT, IDC_PICTURE, IDC_SUMMARY};
  HWND child = GetWindow(window, GW_CHILD);
  for (const int id : order) {
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(GetDlgCtrlID(child), id);
    child = GetWindow(child, GW_HWNDNEXT);
  }
  struct Placed {
    int id, x, y, cx, cy;
  };
  for (const Placed& p : {Placed{IDC_DETAILS, 282, 12, 50, 14}, Placed{IDC_CLEAN_NOW, 282, 32, 50, 14},
                          Placed{IDOK, 282, 72, 50, 14}, Placed{IDC_AUTOSTART, 12, 200, 126, 10},
                          Placed{IDC_SUMMARY, 48, 12, 216, 96}, Placed{IDC_SCHEDULE, 12, 218, 318, 8},
                          Placed{IDC_UPDATE_LINK, 12, 234, 318, 8}, Placed{IDC_FOOTER, 6, 246, 324, 8}}) {
    const RECT want = DialogUnits(window, p.x, p.y, p.cx, p.cy);
    const RECT got = ControlRect(window, p.id);
    EXPECT_TRUE(EqualRect(&want, &got))
        << "control " << p.id << ": " << got.left << "," << got.top << "," << got.right << ","
        << got.bottom << " want " << want.left << "," << want.top << "," << want.right << ","
        << want.bottom;
  }
}

// ---- Clean Now

TEST_F(MainWindow, CleanNowRemovesReportsRecordsAndRescans) {
  WriteIECookies("a.txt", 3, "tracker.com/");
  const HWND window = Open();
  intro_.SetRunningTest([](const BrowserProcessNames&) { return false; });
  Click(window, IDC_CLEAN_NOW);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].text, L"3 cookies have been cleaned.");
  EXPECT_EQ(messages_[0].caption, L"Trackscrub");
  EXPECT_EQ(messages_[0].type, static_cast<UINT>(MB_ICONINFORMATION));
  EXPECT_FALSE(profile_.Exists(CookiePath("a.txt")));
  EXPECT_NE(LastClean(), 0u);
  EXPECT_EQ(Text(IDC_SUMMARY).rfind(kNothingFound + L"\n\nA cleanup was last performed at: ", 0), 0u);
  EXPECT_FALSE(Enabled(IDC_CLEAN_NOW));
}

TEST_F(MainWindow, RunningBrowserAnsweredNoIsSkippedButTheCleanIsRecorded) {
  WriteIECookies("a.txt", 2, "tracker.com/");
  const HWND window = Open();
  std::vector<std::wstring> asked;
  intro_.SetRunningTest([&asked](const BrowserProcessNames& names) {
    asked.push_back(names.display_name);
    return &names == &BrowserOf(Browser::kIE).process;
  });
  answers_ = {IDNO};
  Click(window, IDC_CLEAN_NOW);
  ASSERT_EQ(messages_.size(), 2u);
  EXPECT_EQ(messages_[0].text, std::wstring(L"Internet Explorer") + kRunningPrompt);
  EXPECT_EQ(messages_[0].caption, L"Trackscrub");
  EXPECT_EQ(messages_[0].type, static_cast<UINT>(MB_YESNO));
  EXPECT_EQ(messages_[1].text, L"No cookies have been removed.");
  EXPECT_TRUE(profile_.Exists(CookiePath("a.txt")));
  EXPECT_NE(LastClean(), 0u);
  // Every browser but Flash is tested, in the order of the sequences.
  EXPECT_EQ(asked, (std::vector<std::wstring>{
                       L"Internet Explorer", L"Mozilla Firefox", L"Google Chrome", L"Apple Safari",
                       L"Microsoft Edge", L"Brave", L"Vivaldi", L"Opera", L"Chromium"}));
}

TEST_F(MainWindow, RunningBrowserAnsweredYesIsCleaned) {
  WriteIECookies("a.txt", 2, "tracker.com/");
  const HWND window = Open();
  intro_.SetRunningTest([](const BrowserProcessNames& names) {
    return &names == &BrowserOf(Browser::kFirefox).process ||
           &names == &BrowserOf(Browser::kIE).process;
  });
  answers_ = {IDYES, IDNO};
  Click(window, IDC_CLEAN_NOW);
  ASSERT_EQ(messages_.size(), 3u);
  EXPECT_EQ(messages_[1].text, std::wstring(L"Mozilla Firefox") + kRunningPrompt);
  EXPECT_EQ(messages_[2].text, L"2 cookies have been cleaned.");
  EXPECT_FALSE(profile_.Exists(CookiePath("a.txt")));
}

TEST_F(MainWindow, DetailsCleanNowRunsTheMainWindowsClean) {
  WriteIECookies("a.txt", 2, "tracker.com/");
  const HWND window = Open();
  intro_.SetRunningTest([](const BrowserProcessNames&) { return false; });
  WhileDialogOpen(L"Trackscrub", [](HWND details) { Click(details, IDOK); },
                  [&] { Click(window, IDC_DETAILS); });
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].text, L"2 cookies have been cleaned.");
  EXPECT_FALSE(profile_.Exists(CookiePath("a.txt")));
  EXPECT_TRUE(IsWindowEnabled(window));
}

TEST_F(MainWindow, DetailsClosedCleansNothing) {
  WriteIECookies("a.txt", 2, "tracker.com/");
  const HWND window = Open();
  WhileDialogOpen(L"Trackscrub", [](HWND details) { Click(details, IDCANCEL); },
                  [&] { Click(window, IDC_DETAILS); });
  EXPECT_TRUE(messages_.empty());
  EXPECT_TRUE(profile_.Exists(CookiePath("a.txt")));
  EXPECT_EQ(LastClean(), 0u);
}

TEST_F(MainWindow, OptionsRescanWhenTheyClose) {
  WriteIECookies("a.txt", 2, "tracker.com/");
  const HWND window = Open();
  WhileDialogOpen(
      L"Configuration",
      [](HWND options) {
        Click(options, IDC_PROCESS_IE);  // unchecks Internet Explorer
        Click(options, IDOK);
      },
      [&] { Click(window, IDC_OPTIONS); });
  EXPECT_EQ(Setting(BrowserOf(Browser::kIE).switch_name), 0u);
  EXPECT_EQ(Text(IDC_SUMMARY), kNothingFound + kNeverCleaned);
  EXPECT_FALSE(Enabled(IDC_DETAILS));
}

// ---- Schedule

TEST_F(MainWindow, ScheduleListsShowTheStoredChoice) {
  const HWND window = Open();
  EXPECT_EQ(SendDlgItemMessageW(window, IDC_FREQUENCY, CB_GETCOUNT, 0, 0), 30);
  EXPECT_EQ(Selection(IDC_FREQUENCY), 1);  // "2", the default
  EXPECT_EQ(SendDlgItemMessageW(window, IDC_FREQUENCY, CB_GETITEMDATA, 29, 0), 30);
  EXPECT_EQ(SendDlgItemMessageW(window, IDC_UNIT, CB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(Selection(IDC_UNIT), 1);  // weeks
  const LRESULT seconds[] = {86400, 604800, 2678400};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(SendDlgItemMessageW(window, IDC_UNIT, CB_GETITEMDATA, static_cast<WPARAM>(i), 0),
              seconds[i]);
  }
  wchar_t text[16] = {};
  SendDlgItemMessageW(window, IDC_UNIT, CB_GETLBTEXT, 2, reinterpret_cast<LPARAM>(text));
  EXPECT_STREQ(text, L"months");
}

TEST_F(MainWindow, UnknownStoredChoicesLeaveTheListsWithoutSelection) {
  CtrackscrubApp::SetRegDWORD(kValueCleanFrequency, 31);
  CtrackscrubApp::SetRegDWORD(kValueCleanPeriod, 3600);
  Open();
  EXPECT_EQ(Selection(IDC_FREQUENCY), CB_ERR);
  EXPECT_EQ(Selection(IDC_UNIT), CB_ERR);
  EXPECT_EQ(Setting(kValueCleanFrequency), 31u);
  EXPECT_EQ(Setting(kValueCleanPeriod), 3600u);
}

TEST_F(MainWindow, ChoosingFrequencyAndUnitWritesThemAndRewordsTheLine) {
  CreateRunKey();
  ui::SetAutostart(true, L"C:\\trackscrub.exe");
  SetLastCleanSecondsAgo(3600);
  const HWND window = Open();
  EXPECT_EQ(Text(IDC_SCHEDULE), L"Cookies will be automatically cleaned after 13 days.");
  SelectComboEntry(window, IDC_FREQUENCY, 4);  // 5
  EXPECT_EQ(Setting(kValueCleanFrequency), 5u);
  EXPECT_EQ(Text(IDC_SCHEDULE), L"Cookies will be automatically cleaned after 34 days.");
  SelectComboEntry(window, IDC_UNIT, 0);  // days
  EXPECT_EQ(Setting(kValueCleanPeriod), 86400u);
  EXPECT_EQ(Text(IDC_SCHEDULE), L"Cookies will be automatically cleaned after 4 days.");
}

TEST_F(MainWindow, ScheduleLineWording) {
  CreateRunKey();
  ui::SetAutostart(true, L"C:\\trackscrub.exe");
  struct Case {
    long long seconds_ago;  // with the default interval of 14 days
    const wchar_t* line;
  };
  const Case cases[] = {
      {15 * 86400LL, L"Cookies will be automatically cleaned when you next log on to your computer."},
      {14 * 86400LL - 3600, L"Cookies will be automatically cleaned when you log on to your computer tomorrow."},
      {13 * 86400LL - 3600, L"Cookies will be automatically cleaned when you log on to your computer tomorrow."},
      {12 * 86400LL - 3600, L"Cookies will be automatically cleaned after 2 days."},
  };
  for (const Case& c : cases) {
    SetLastCleanSecondsAgo(c.seconds_ago);
    intro_.Destroy();
    Open();
    EXPECT_EQ(Text(IDC_SCHEDULE), c.line) << c.seconds_ago;
  }
}

// ---- Start at login

TEST_F(MainWindow, CheckBoxWritesAndDeletesOnlyTheRunValue) {
  CreateRunKey();
  platform::RegKey run;
  ASSERT_EQ(platform::RegKey::Open(ui::kRunKey, platform::RegAccess::kWrite, &run), 0);
  const std::wstring other = L"other.exe";
  run.SetValue(L"Other", platform::kRegSz, reinterpret_cast<const uint8_t*>(other.c_str()),
               static_cast<uint32_t>((other.size() + 1) * 2));
  const HWND window = Open();
  EXPECT_FALSE(intro_.IsChecked(IDC_AUTOSTART));
  EXPECT_EQ(Text(IDC_SCHEDULE), L"");

  Click(window, IDC_AUTOSTART);
  EXPECT_TRUE(intro_.IsChecked(IDC_AUTOSTART));
  uint32_t type = 0;
  std::wstring data;
  ASSERT_TRUE(ReadRawValue(ui::kRunKey, L"Trackscrub", &type, &data));
  EXPECT_EQ(type, platform::kRegSz);
  EXPECT_EQ(data, L"\"" + ui::ModulePath() + L"\" /auto");
  EXPECT_FALSE(Text(IDC_SCHEDULE).empty());

  Click(window, IDC_AUTOSTART);
  EXPECT_FALSE(ReadRawValue(ui::kRunKey, L"Trackscrub", &type, &data));
  EXPECT_EQ(Text(IDC_SCHEDULE), L"");
  ASSERT_TRUE(ReadRawValue(ui::kRunKey, L"Other", &type, &data));
  EXPECT_EQ(data, other);
}

TEST_F(MainWindow, RunValueOfAnotherTypeCountsAsOffAndIsReplaced) {
  CreateRunKey();
  platform::RegKey run;
  ASSERT_EQ(platform::RegKey::Open(ui::kRunKey, platform::RegAccess::kWrite, &run), 0);
  const std::wstring expand = L"%ProgramFiles%\\t.exe";
  run.SetValue(L"Trackscrub", platform::kRegExpandSz, reinterpret_cast<const uint8_t*>(expand.c_str()),
               static_cast<uint32_t>((expand.size() + 1) * 2));
  const HWND window = Open();
  EXPECT_FALSE(intro_.IsChecked(IDC_AUTOSTART));
  Click(window, IDC_AUTOSTART);
  uint32_t type = 0;
  ASSERT_TRUE(ReadRawValue(ui::kRunKey, L"Trackscrub", &type, nullptr));
  EXPECT_EQ(type, platform::kRegSz);
}

TEST_F(MainWindow, MissingRunKeyIsNotCreated) {
  const HWND window = Open();
  Click(window, IDC_AUTOSTART);
  // The box keeps what the user gave it; the line follows the registry.
  EXPECT_TRUE(intro_.IsChecked(IDC_AUTOSTART));
  EXPECT_EQ(Text(IDC_SCHEDULE), L"");
  platform::RegKey run;
  EXPECT_NE(platform::RegKey::Open(ui::kRunKey, platform::RegAccess::kRead, &run), 0);
}

// ---- Update notice and version-check gate

TEST_F(MainWindow, UpdateNoticeShowsTheLinkWhichOpensTheAddress) {
  const HWND window = Open();
  SendMessageW(window, WM_VERSIONCHECK, 42,
               reinterpret_cast<LPARAM>(_strdup("http://example.com/get")));
  const HWND link = GetDlgItem(window, IDC_UPDATE_LINK);
  EXPECT_TRUE(IsWindowVisible(link));
  EXPECT_EQ(WindowText(link), L"An update is available.");
  SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_UPDATE_LINK, STN_CLICKED),
               reinterpret_cast<LPARAM>(link));
  ASSERT_EQ(opened_.size(), 1u);
  EXPECT_EQ(opened_[0].verb, L"open");
  EXPECT_EQ(opened_[0].file, L"http://example.com/get");
}

TEST_F(MainWindow, NoUpdateLeavesTheLinkHidden) {
  const HWND window = Open();
  SendMessageW(window, WM_VERSIONCHECK, 0, reinterpret_cast<LPARAM>(_strdup("http://x/")));
  SendMessageW(window, WM_VERSIONCHECK, 1, 0);
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(window, IDC_UPDATE_LINK)));
}

TEST_F(MainWindow, LinkWithoutTargetOpensItsCaption) {
  const HWND window = Open();
  const HWND link = GetDlgItem(window, IDC_UPDATE_LINK);
  SetWindowTextW(link, L"http://caption.example/");
  SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_UPDATE_LINK, STN_CLICKED),
               reinterpret_cast<LPARAM>(link));
  ASSERT_EQ(opened_.size(), 1u);
  EXPECT_EQ(opened_[0].file, L"http://caption.example/");
}

TEST_F(MainWindow, VersionCheckWithinTheNextMinuteIsNotStarted) {
  const uint32_t now = VersionCheckMinute(platform::CurrentCalendarTime());
  ui::WriteAppProfileInt(ui::kSectionSettings, ui::kEntryLastVersionCheck, now - 1);
  Open();
  EXPECT_EQ(intro_.version_check(), nullptr);
  EXPECT_EQ(ui::ReadAppProfileInt(ui::kSectionSettings, ui::kEntryLastVersionCheck, 0), now - 1);
}

TEST_F(MainWindow, DueVersionCheckStartsAndRecordsItsMinute) {
  const uint32_t now = VersionCheckMinute(platform::CurrentCalendarTime());
  ui::WriteAppProfileInt(ui::kSectionSettings, ui::kEntryLastVersionCheck, now - 2);
  Open();
  ASSERT_NE(intro_.version_check(), nullptr);
  EXPECT_EQ(intro_.version_check()->url().rfind(
                std::string("http://update.trackscrub.example/versioncheck.asp?product=trackscrub&version=") +
                    kProgramVersion + "&os=",
                0),
            0u);
  EXPECT_GE(ui::ReadAppProfileInt(ui::kSectionSettings, ui::kEntryLastVersionCheck, 0), now);
  // Where the application profile lives.
  uint32_t type = 0, minute = 0;
  EXPECT_TRUE(ReadRawValue(L"Software\\Trackscrub\\trackscrub\\Settings", L"LastVerChk", &type,
                           nullptr, &minute));
  EXPECT_EQ(type, platform::kRegDword);
  EXPECT_GE(minute, now);
  // The link stays hidden until a newer version is reported.
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(intro_.hwnd(), IDC_UPDATE_LINK)));
}

// ---- The update link, end to end against the throw-away server of the test run

std::string LocalUpdateHost() {
  const char* port = std::getenv("TS_HTTP_PORT");
  return std::string("127.0.0.1:") + (port != nullptr ? port : "1");
}

// Pumps messages until the link shows or `ms` pass.
bool WaitForLink(HWND window, DWORD ms) {
  const DWORD start = GetTickCount();
  while (!IsWindowVisible(GetDlgItem(window, IDC_UPDATE_LINK)) && GetTickCount() - start < ms) {
    PumpMessages();
    Sleep(20);
  }
  return IsWindowVisible(GetDlgItem(window, IDC_UPDATE_LINK)) != FALSE;
}

TEST_F(MainWindow, ServerOfferingANewerBuildShowsTheLink) {
  ui::WriteAppProfileInt(ui::kSectionSettings, ui::kEntryLastVersionCheck, 0);
  intro_.SetUpdateServer(LocalUpdateHost(), "update/versioncheck.asp");
  const HWND window = Open();
  ASSERT_NE(intro_.version_check(), nullptr);
  ASSERT_TRUE(WaitForLink(window, 20000)) << intro_.version_check()->url();
  EXPECT_EQ(Text(IDC_UPDATE_LINK), L"An update is available.");
  SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_UPDATE_LINK, STN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(window, IDC_UPDATE_LINK)));
  ASSERT_EQ(opened_.size(), 1u);
  EXPECT_EQ(opened_[0].file, L"http://download.trackscrub.example/setup.exe");
}

TEST_F(MainWindow, ServerWithTheSameBuildLeavesTheLinkHidden) {
  ui::WriteAppProfileInt(ui::kSectionSettings, ui::kEntryLastVersionCheck, 0);
  intro_.SetUpdateServer(LocalUpdateHost(), "same/versioncheck.asp");
  const HWND window = Open();
  ASSERT_NE(intro_.version_check(), nullptr);
  EXPECT_FALSE(WaitForLink(window, 3000));
  EXPECT_EQ(Text(IDC_UPDATE_LINK).find(L"update"), std::wstring::npos);
}

TEST_F(MainWindow, ListsAtAnAddressAreDownloadedAndTheSummaryFollows) {
  WriteIECookies("a.txt", 1, "www.a.example/");
  SetTrackerListSources({platform::WideFromUtf8("http://" + LocalUpdateHost() + "/lists/hosts")});
  Open();
  EXPECT_EQ(Text(IDC_SUMMARY), kNothingFound + kNeverCleaned);  // the copy is not there yet
  for (const DWORD start = GetTickCount(); Text(IDC_SUMMARY) == kNothingFound + kNeverCleaned &&
                                           GetTickCount() - start < 20000;) {
    PumpMessages();
    Sleep(20);
  }
  EXPECT_EQ(Text(IDC_SUMMARY).rfind(L"1 potentially evil cookies", 0), 0u);
  EXPECT_FALSE(intro_.list_download().running());
}

}  // namespace
