// Start-up: the command line chooses the one window that runs.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "res/resource.h"
#include "ui/program.h"
#include "ui_support.h"

namespace {

using StartUp = UiTest;

TEST_F(StartUp, NoArgumentsRunsTheMainWindowUntilExit) {
  int runs = 0;
  WhileDialogOpen(L"Trackscrub 2.6.41", [](HWND main_window) { Click(main_window, IDOK); },
                  [&] { runs += ui::RunProgram(L"") == 0 ? 1 : 0; });
  EXPECT_EQ(runs, 1);
}

TEST_F(StartUp, AutoFollowedByABlankOpensTheMainWindowWhichEscapeEnds) {
  WhileDialogOpen(
      L"Trackscrub 2.6.41",
      [](HWND main_window) {
        SendMessageW(main_window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      },
      [] { ui::RunProgram(L"/auto "); });
}

TEST_F(StartUp, AutoInAnyCaseRunsTheAutomaticModeWithoutWindow) {
  for (const wchar_t* tail : {L"/auto", L"/AUTO", L"/Auto"}) {
    WriteIECookies("a.txt", 1, "tracker.com/");
    SetLastCleanSecondsAgo(15 * 86400LL);
    notify_result_ = FALSE;  // no notification area: the run ends at once
    EXPECT_EQ(ui::RunProgram(tail), 0);
    EXPECT_FALSE(profile_.Exists(CookiePath("a.txt"))) << platform::Utf8FromWide(tail);
  }
}

}  // namespace
