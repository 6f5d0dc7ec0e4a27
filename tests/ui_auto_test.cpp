// The automatic run: when it cleans, what the notification says, and that it always
// ends.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/settings.h"
#include "sqlite_support.h"
#include "ui/fake_dlg.h"
#include "ui/system_calls.h"
#include "ui/dpi.h"
#include "ui_support.h"

namespace {

class AutomaticRun : public UiTest {
 protected:
  static constexpr long long kDay = 86400;

  // Starts the run as a window the test can talk to.
  void Start() {
    ASSERT_TRUE(run_.Create() || run_.ended());
  }
  void Notify(WORD event) {
    SendMessageW(run_.hwnd(), run_.notify_message(), 0, MAKELPARAM(event, 0));
  }
  size_t Calls(DWORD message) const {
    size_t n = 0;
    for (const auto& call : notify_calls_) n += call.first == message ? 1 : 0;
    return n;
  }

  CFakeDlg run_;
};

TEST_F(AutomaticRun, NotDueRemovesNothingRecordsNothingShowsNothing) {
  WriteIECookies("a.txt", 2, "tracker.com/");
  SetLastCleanSecondsAgo(14 * kDay - 3600);  // due, but not a whole day overdue
  const uint64_t before = LastClean();
  EXPECT_EQ(run_.DoModal(), 0);
  EXPECT_TRUE(profile_.Exists(CookiePath("a.txt")));
  EXPECT_EQ(LastClean(), before);
  EXPECT_TRUE(notify_calls_.empty());
}

TEST_F(AutomaticRun, DueWithNothingRemovedRecordsTheCleanWithoutIcon) {
  WriteIECookies("a.txt", 2, "www.example.org/");
  SetLastCleanSecondsAgo(15 * kDay);
  const uint64_t before = LastClean();
  EXPECT_EQ(run_.DoModal(), 0);
  EXPECT_GT(LastClean(), before);
  EXPECT_TRUE(notify_calls_.empty());
  EXPECT_TRUE(profile_.Exists(CookiePath("a.txt")));
}

TEST_F(AutomaticRun, DueWithEverySwitchOffRecordsTheClean) {
  WriteIECookies("a.txt", 2, "tracker.com/");
  for (const BrowserInfo& browser : Browsers()) {
    const wchar_t* name = browser.switch_name;
    CtrackscrubApp::SetRegDWORD(name, 0);
  }
  SetLastCleanSecondsAgo(15 * kDay);
  const uint64_t before = LastClean();
  EXPECT_EQ(run_.DoModal(), 0);
  EXPECT_GT(LastClean(), before);
  EXPECT_TRUE(profile_.Exists(CookiePath("a.txt")));
  EXPECT_TRUE(notify_calls_.empty());
}

TEST_F(AutomaticRun, RemovalsAreReportedByIconAndBalloon) {
  WriteIECookies("a.txt", 5, "tracker.com/");
  SetLastCleanSecondsAgo(15 * kDay);
  Start();
  EXPECT_FALSE(run_.ended());
  EXPECT_FALSE(IsWindowVisible(run_.hwnd()));
  EXPECT_FALSE(profile_.Exists(CookiePath("a.txt")));
  ASSERT_EQ(notify_calls_.size(), 3u);

  const auto& [add_message, add] = notify_calls_[0];
  EXPECT_EQ(add_message, static_cast<DWORD>(NIM_ADD));
  EXPECT_EQ(add.hWnd, run_.hwnd());
  EXPECT_EQ(add.uID, 0u);
  EXPECT_EQ(add.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
  EXPECT_EQ(add.uCallbackMessage, RegisterWindowMessageW(L"Trackscrub.Notify"));
  // A small icon at the display's scale (16 pixels at 96 DPI).
  EXPECT_NEAR(IconSide(add.hIcon), 16 * ui::WindowDpi(run_.hwnd()) / 96.0, 1.0);
  EXPECT_STREQ(add.szTip, L"Trackscrub");
  EXPECT_EQ(add.cbSize, static_cast<DWORD>(NOTIFYICONDATAW_V3_SIZE));

  EXPECT_EQ(notify_calls_[1].first, static_cast<DWORD>(NIM_SETVERSION));
  EXPECT_EQ(notify_calls_[1].second.uVersion, static_cast<UINT>(NOTIFYICON_VERSION));

  const auto& [modify_message, balloon] = notify_calls_[2];
  EXPECT_EQ(modify_message, static_cast<DWORD>(NIM_MODIFY));
  EXPECT_EQ(balloon.uFlags, static_cast<UINT>(NIF_INFO));
  EXPECT_STREQ(balloon.szInfo, L"5 evil cookies have been removed.\nClick here for options.");
  EXPECT_STREQ(balloon.szInfoTitle, L"Trackscrub");
  EXPECT_EQ(balloon.uTimeout, 30u);
  EXPECT_EQ(balloon.dwInfoFlags, static_cast<DWORD>(NIIF_INFO));
}

// A running browser of the Chromium family: its profile's cookie database, locked
// by another process as the browser locks it.
std::unique_ptr<LockHolder> HoldCookies(const TempProfile& profile, const std::string& user_data) {
  const std::string folder =
      std::string(TempProfile::kLocalAppData) + "/" + user_data + "/Default/Network";
  profile.MakeDir(folder);
  const std::wstring path = profile.Path(folder + "/Cookies");
  if (!profile.Exists(folder + "/Cookies")) TestDb(path).Exec(kChromeSchemaCurrent);
  return std::make_unique<LockHolder>(
      path, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; COMMIT;", profile);
}

TEST_F(AutomaticRun, BalloonNamesTheRunningBrowsersThatKeptTheirCookies) {
  struct Case {
    int removed;
    std::vector<const char*> running;  // user data folders below Local AppData
    const wchar_t* info;
  };
  const Case cases[] = {
      {5, {"Microsoft/Edge/User Data"},
       L"5 evil cookies have been removed.\nMicrosoft Edge is running; close it to clean its "
       L"cookies.\nClick here for options."},
      // Nothing removed: the balloon still says which browser to close.
      {0, {"Microsoft/Edge/User Data"},
       L"Microsoft Edge is running; close it to clean its cookies.\nClick here for options."},
      // The lines that do not fit the balloon's 255 characters are left out whole.
      {0,
       {"Chromium/User Data", "Google/Chrome/User Data", "Microsoft/Edge/User Data",
        "BraveSoftware/Brave-Browser/User Data", "Vivaldi/User Data"},
       L"Google Chrome is running; close it to clean its cookies.\nMicrosoft Edge is running; "
       L"close it to clean its cookies.\nBrave is running; close it to clean its cookies.\n"
       L"Vivaldi is running; close it to clean its cookies.\nClick here for options."},
  };
  for (const Case& c : cases) {
    std::vector<std::unique_ptr<LockHolder>> locks;
    for (const char* user_data : c.running) {
      locks.push_back(HoldCookies(profile_, user_data));
      ASSERT_TRUE(locks.back()->holding()) << user_data;
    }
    if (c.removed > 0) WriteIECookies("a.txt", c.removed, "tracker.com/");
    SetLastCleanSecondsAgo(15 * kDay);
    notify_calls_.clear();
    Start();
    EXPECT_FALSE(run_.ended());
    ASSERT_EQ(Calls(NIM_MODIFY), 1u);
    EXPECT_STREQ(notify_calls_.back().second.szInfo, c.info);
    run_.Destroy();
  }
}

TEST_F(AutomaticRun, BalloonTimeoutOrCloseEndsTheRun) {
  for (const WORD event : {WORD{NIN_BALLOONTIMEOUT}, WORD{NIN_BALLOONHIDE}}) {
    WriteIECookies("a.txt", 1, "tracker.com/");
    SetLastCleanSecondsAgo(15 * kDay);
    notify_calls_.clear();
    Start();
    Notify(NIN_BALLOONSHOW);
    Notify(static_cast<WORD>(WM_LBUTTONDOWN));  // a click on the icon itself
    EXPECT_FALSE(run_.ended());
    Notify(event);
    EXPECT_TRUE(run_.ended());
    EXPECT_EQ(run_.result(), 0);
    EXPECT_EQ(Calls(NIM_DELETE), 1u);
    EXPECT_TRUE(opened_.empty());
    run_.Destroy();
  }
}

TEST_F(AutomaticRun, BalloonClickStartsOneInteractiveInstance) {
  WriteIECookies("a.txt", 1, "tracker.com/");
  SetLastCleanSecondsAgo(15 * kDay);
  Start();
  Notify(NIN_BALLOONUSERCLICK);
  EXPECT_TRUE(run_.ended());
  ASSERT_EQ(opened_.size(), 1u);
  EXPECT_TRUE(opened_[0].default_verb);
  EXPECT_EQ(opened_[0].file, ui::ModulePath());
  EXPECT_EQ(Calls(NIM_DELETE), 1u);
}

TEST_F(AutomaticRun, EndsOnItsOwnWhenTheShellNeverReports) {
  WriteIECookies("a.txt", 1, "tracker.com/");
  SetLastCleanSecondsAgo(15 * kDay);
  run_.set_balloon_wait_ms(100);
  EXPECT_EQ(run_.DoModal(), 0);
  EXPECT_EQ(Calls(NIM_ADD), 1u);
  EXPECT_EQ(Calls(NIM_DELETE), 1u);
}

TEST_F(AutomaticRun, IconThatCannotBeAddedEndsTheRunAtOnce) {
  WriteIECookies("a.txt", 1, "tracker.com/");
  SetLastCleanSecondsAgo(15 * kDay);
  notify_result_ = FALSE;
  const uint64_t before = LastClean();
  EXPECT_EQ(run_.DoModal(), 0);
  EXPECT_GT(LastClean(), before);
  EXPECT_FALSE(profile_.Exists(CookiePath("a.txt")));
  EXPECT_EQ(Calls(NIM_ADD), 1u);
  EXPECT_EQ(Calls(NIM_MODIFY), 0u);
}

TEST_F(AutomaticRun, RunWithTheRealShellEndsWithOrWithoutANotificationArea) {
  // Headless there is no notification area and the icon is refused; on a desktop
  // the icon shows but no balloon notification may ever come. Either way the run
  // ends by itself.
  ui::ResetSystemCalls();
  WriteIECookies("a.txt", 1, "tracker.com/");
  SetLastCleanSecondsAgo(15 * kDay);
  run_.set_balloon_wait_ms(300);
  EXPECT_EQ(run_.DoModal(), 0);
  EXPECT_FALSE(profile_.Exists(CookiePath("a.txt")));
  EXPECT_EQ(run_.hwnd(), nullptr);
}

TEST_F(AutomaticRun, CloseRemovesTheIconAndEndsAsCancel) {
  WriteIECookies("a.txt", 1, "tracker.com/");
  SetLastCleanSecondsAgo(15 * kDay);
  Start();
  SendMessageW(run_.hwnd(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(run_.ended());
  EXPECT_EQ(run_.result(), IDCANCEL);
  EXPECT_EQ(Calls(NIM_DELETE), 1u);
}

}  // namespace
