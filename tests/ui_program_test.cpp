// Start-up: the command line chooses the one window that runs.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/version.h"
#include "platform/platform.h"
#include "version.rh"
#include "res/resource.h"
#include "ui/program.h"
#include "ui/system_calls.h"
#include "ui_support.h"

namespace {

using StartUp = UiTest;

TEST_F(StartUp, NoArgumentsRunsTheMainWindowUntilExit) {
  int runs = 0;
  WhileDialogOpen(L"" TS_MAIN_CAPTION, [](HWND main_window) { Click(main_window, IDOK); },
                  [&] { runs += ui::RunProgram(L"") == 0 ? 1 : 0; });
  EXPECT_EQ(runs, 1);
}

TEST_F(StartUp, AutoFollowedByABlankOpensTheMainWindowWhichEscapeEnds) {
  WhileDialogOpen(
      L"" TS_MAIN_CAPTION,
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

namespace {

// trackscrub.exe of the same build, beside this test's folder.
std::wstring ProgramPath() {
  std::wstring path = ui::ModulePath();
  path = path.substr(0, path.find_last_of(L'\\'));
  return path.substr(0, path.find_last_of(L'\\') + 1) + L"src\\ui\\trackscrub.exe";
}

TEST(ProgramResources, VersionResourceSaysTwoSixZeroFortyOne) {
  const std::wstring program = ProgramPath();
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(program.c_str(), &ignored);
  ASSERT_GT(size, 0u) << platform::Utf8FromWide(program);
  std::vector<uint8_t> info(size);
  ASSERT_TRUE(GetFileVersionInfoW(program.c_str(), 0, size, info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  const std::string numbers = std::to_string(HIWORD(fixed->dwFileVersionMS)) + '.' +
                              std::to_string(LOWORD(fixed->dwFileVersionMS)) + '.' +
                              std::to_string(HIWORD(fixed->dwFileVersionLS)) + '.' +
                              std::to_string(LOWORD(fixed->dwFileVersionLS));
  EXPECT_EQ(numbers, kProgramVersion);
  wchar_t* text = nullptr;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\StringFileInfo\\040904b0\\FileVersion",
                             reinterpret_cast<void**>(&text), &length));
  EXPECT_EQ(platform::Utf8FromWide(text), kProgramVersion);
}

TEST(ProgramResources, ManifestAsksForNoElevationCommonControlsSixAndPerMonitorDpi) {
  const HMODULE program =
      LoadLibraryExW(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(program, nullptr);
  const HRSRC found = FindResourceW(program, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  ASSERT_NE(found, nullptr);
  const char* data = static_cast<const char*>(LockResource(LoadResource(program, found)));
  const std::string manifest(data, SizeofResource(program, found));
  EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
  EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
            std::string::npos);
  EXPECT_NE(manifest.find(">PerMonitorV2, PerMonitor</dpiAwareness>"), std::string::npos);
  EXPECT_NE(manifest.find(">true/pm</dpiAware>"), std::string::npos);
  for (const int icon : {IDI_APPLICATION_ICON, IDI_IE, IDI_FIREFOX, IDI_SAFARI, IDI_CHROME, IDI_FLASH,
                         IDI_EDGE, IDI_BRAVE, IDI_VIVALDI, IDI_OPERA, IDI_CHROMIUM}) {
    EXPECT_NE(FindResourceW(program, MAKEINTRESOURCEW(icon), RT_GROUP_ICON), nullptr) << icon;
  }
  for (const int dialog : {IDD_DETAILS, IDD_MAIN, IDD_AUTOMATIC, IDD_OPTIONS}) {
    EXPECT_NE(FindResourceW(program, MAKEINTRESOURCEW(dialog), RT_DIALOG), nullptr) << dialog;
  }
  FreeLibrary(program);
}

}  // namespace
