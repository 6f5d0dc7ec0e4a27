// The running-browser test against a real window of another process.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/browser_running.h"
#include "platform/platform.h"
#include "support/temp_tree.h"
#include "ui/system_calls.h"

namespace {

// ui_window_host.exe, next to this test.
std::wstring HostProgram() {
  const std::wstring test = ui::ModulePath();
  return test.substr(0, test.find_last_of(L'\\') + 1) + L"ui_window_host.exe";
}

// Runs the window host (or a copy of it at `exe`) with a window of `window_class`.
class WindowHost {
 public:
  explicit WindowHost(const std::wstring& window_class, const std::wstring& exe = HostProgram()) {
    const std::wstring stamp = std::to_wstring(GetCurrentProcessId()) + L"-" +
                               std::to_wstring(GetTickCount());
    const std::wstring quit_name = L"ts-host-quit-" + stamp;
    const std::wstring ready_name = L"ts-host-ready-" + stamp;
    quit_ = CreateEventW(nullptr, TRUE, FALSE, quit_name.c_str());
    ready_ = CreateEventW(nullptr, TRUE, FALSE, ready_name.c_str());
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

// A browser's names as a row of the table of browsers holds them.
struct Names {
  std::vector<const wchar_t*> classes;
  const wchar_t* executable;
  const wchar_t* folder;

  BrowserProcessNames get() const { return {classes, executable, folder, L"Browser"}; }
};

TEST(IsBrowserRunning, WindowClassExecutableAndFolderMatchWithoutRegardToCase) {
  WindowHost host(L"IEFrame");
  ASSERT_TRUE(host.started());
  struct Case {
    Names names;
    bool running;
  };
  const Case cases[] = {
      {{{L"IEFrame"}, L"ui_window_host.exe", nullptr}, true},
      {{{L"ieframe"}, L"UI_WINDOW_HOST.EXE", nullptr}, true},
      {{{L"Chrome_WidgetWin_1", L"IEFrame"}, L"ui_window_host.exe", nullptr}, true},
      {{{L"IEFrame"}, L"ui_window_host.exe", L"\\TESTS\\"}, true},
      {{{L"IEFrame"}, L"iexplore.exe", nullptr}, false},
      {{{L"MozillaUIWindowClass"}, L"ui_window_host.exe", nullptr}, false},
      {{{}, L"ui_window_host.exe", nullptr}, false},
      {{{L"IEFrame"}, L"ui_window_host.exe", L"\\Google\\Chrome"}, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ui::IsBrowserRunning(c.names.get()) != FALSE, c.running)
        << c.names.classes.size() << " classes, "
        << (c.names.folder != nullptr ? platform::Utf8FromWide(c.names.folder) : "no folder");
  }
}

TEST(IsBrowserRunning, NothingRunningIsNotRunning) {
  for (const BrowserInfo& browser : Browsers()) {
    const BrowserProcessNames* names = ui::FindBrowserProcess(browser.id);
    if (names != nullptr) {
      EXPECT_FALSE(ui::IsBrowserRunning(*names)) << browser.console_name;
    }
  }
}

TEST(IsBrowserRunning, BrowsersRunningTheSameFileAreToldApartByTheirFolder) {
  TempTree tree;
  struct Case {
    const char* folder;  // where the copy of the window host runs as chrome.exe
    bool chrome, chromium;
  };
  const Case cases[] = {
      {"Google/Chrome/Application", true, false},
      {"Chromium/Application", false, true},
      {"Other/Application", false, false},
  };
  for (const Case& c : cases) {
    tree.MakeDir(c.folder);
    const std::wstring exe = tree.Path(std::string(c.folder) + "/chrome.exe");
    ASSERT_TRUE(CopyFileW(HostProgram().c_str(), exe.c_str(), TRUE)) << c.folder;
    WindowHost host(L"Chrome_WidgetWin_1", exe);
    ASSERT_TRUE(host.started()) << c.folder;
    EXPECT_EQ(ui::IsBrowserRunning(*ui::FindBrowserProcess(Browser::kChrome)) != FALSE, c.chrome)
        << c.folder;
    EXPECT_EQ(ui::IsBrowserRunning(*ui::FindBrowserProcess(Browser::kChromium)) != FALSE,
              c.chromium)
        << c.folder;
    // Edge draws the same window class from another file.
    EXPECT_FALSE(ui::IsBrowserRunning(*ui::FindBrowserProcess(Browser::kEdge))) << c.folder;
  }
}

TEST(IsBrowserRunning, EveryBrowserButFlashIsAskedAbout) {
  for (const BrowserInfo& browser : Browsers()) {
    const BrowserProcessNames* names = ui::FindBrowserProcess(browser.id);
    EXPECT_EQ(names == nullptr, browser.id == Browser::kFlash) << browser.console_name;
    if (names != nullptr) {
      EXPECT_EQ(names, &browser.process) << browser.console_name;
    }
  }
}

}  // namespace
