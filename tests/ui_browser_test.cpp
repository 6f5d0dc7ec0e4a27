// The running-browser test against a real window of another process.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "ui/browser_running.h"
#include "ui/system_calls.h"

namespace {

// Runs ui_window_host.exe (next to this test) with a window of `window_class`.
class WindowHost {
 public:
  explicit WindowHost(const std::wstring& window_class) {
    const std::wstring stamp = std::to_wstring(GetCurrentProcessId()) + L"-" +
                               std::to_wstring(GetTickCount());
    const std::wstring quit_name = L"ts-host-quit-" + stamp;
    const std::wstring ready_name = L"ts-host-ready-" + stamp;
    quit_ = CreateEventW(nullptr, TRUE, FALSE, quit_name.c_str());
    ready_ = CreateEventW(nullptr, TRUE, FALSE, ready_name.c_str());
    std::wstring exe = ui::ModulePath();
    exe = exe.substr(0, exe.find_last_of(L'\\') + 1) + L"ui_window_host.exe";
    std::wstring command = L"\"" + exe + L"\" \"" + window_class + L"\" " + quit_name + L" " +
                           ready_name;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    started_ = CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              nullptr, &startup, &process_) != FALSE;
    if (started_) started_ = WaitForSingleObject(ready_, 30000) == WAIT_OBJECT_0;
  }
  WindowHost(const WindowHost&) = delete;
  WindowHost& operator=(const WindowHost&) = delete;
  ~WindowHost() {
    SetEvent(quit_);
    if (process_.hProcess != nullptr) {
      if (WaitForSingleObject(process_.hProcess, 10000) != WAIT_OBJECT_0) {
        TerminateProcess(process_.hProcess, 1);
      }
      CloseHandle(process_.hProcess);
      CloseHandle(process_.hThread);
    }
    CloseHandle(quit_);
    CloseHandle(ready_);
  }
  bool started() const { return started_; }

 private:
  HANDLE quit_ = nullptr;
  HANDLE ready_ = nullptr;
  PROCESS_INFORMATION process_ = {};
  bool started_ = false;
};

TEST(IsBrowserRunning, MatchesClassAndExecutableWithoutRegardToCase) {
  WindowHost host(L"IEFrame");
  ASSERT_TRUE(host.started());
  EXPECT_TRUE(ui::IsBrowserRunning(L"IEFrame", L"ui_window_host.exe"));
  EXPECT_TRUE(ui::IsBrowserRunning(L"ieframe", L"UI_WINDOW_HOST.EXE"));
}

TEST(IsBrowserRunning, ClassOfAnotherProgramDoesNotCount) {
  WindowHost host(L"IEFrame");
  ASSERT_TRUE(host.started());
  EXPECT_FALSE(ui::IsBrowserRunning(L"IEFrame", L"iexplore.exe"));
  EXPECT_FALSE(ui::IsBrowserRunning(L"MozillaUIWindowClass", L"ui_window_host.exe"));
}

TEST(IsBrowserRunning, NothingRunningIsNotRunning) {
  EXPECT_FALSE(ui::IsBrowserRunning(L"Chrome_XPFrame", L"chrome.exe"));
}

TEST(IsBrowserRunning, BrowsersAndTheirNames) {
  const BrowserProcessNames* ie = ui::FindBrowserProcess(Browser::kIE);
  ASSERT_NE(ie, nullptr);
  EXPECT_STREQ(ie->window_class, L"IEFrame");
  EXPECT_STREQ(ie->executable, L"iexplore.exe");
  EXPECT_STREQ(ie->display_name, L"Internet Explorer");
  const BrowserProcessNames* safari = ui::FindBrowserProcess(Browser::kSafari);
  ASSERT_NE(safari, nullptr);
  EXPECT_STREQ(safari->window_class, L"{1C03B488-D53B-4a81-97F8-754559640193}");
  EXPECT_STREQ(safari->display_name, L"Apple Safari");
  EXPECT_STREQ(ui::FindBrowserProcess(Browser::kChrome)->display_name, L"Google Chrome");
  EXPECT_STREQ(ui::FindBrowserProcess(Browser::kFirefox)->display_name, L"Mozilla Firefox");
  EXPECT_EQ(ui::FindBrowserProcess(Browser::kFlash), nullptr);
}

}  // namespace
