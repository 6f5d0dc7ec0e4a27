// The worker against a local HTTP server, under Wine.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "app/version.h"
#include "update/version_check.h"
#include "update/version_reply.h"

namespace {

struct Received {
  int count = 0;
  WPARAM build = 0;
  std::string address;
};

Received* g_received = nullptr;

LRESULT CALLBACK ReceiverProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kWmVersionCheck && g_received != nullptr) {
    ++g_received->count;
    g_received->build = wparam;
    if (lparam != 0) {
      g_received->address = reinterpret_cast<const char*>(lparam);
      std::free(reinterpret_cast<void*>(lparam));
    }
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

// A message-only window that stands in for the main window.
class Receiver {
 public:
  Receiver() {
    WNDCLASSW window_class = {};
    window_class.lpfnWndProc = ReceiverProc;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = L"TrackscrubTestReceiver";
    RegisterClassW(&window_class);
    window_ = CreateWindowExW(0, L"TrackscrubTestReceiver", L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                              nullptr, GetModuleHandleW(nullptr), nullptr);
    g_received = &received_;
  }
  ~Receiver() {
    g_received = nullptr;
    if (window_ != nullptr) DestroyWindow(window_);
  }
  HWND window() const { return window_; }
  // Pumps messages until one result arrived or `ms` passed.
  const Received& Wait(DWORD ms) {
    const DWORD start = GetTickCount();
    while (received_.count == 0 && GetTickCount() - start < ms) {
      MSG message;
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
      Sleep(10);
    }
    return received_;
  }

 private:
  HWND window_ = nullptr;
  Received received_;
};

std::string Host(const char* port_variable) {
  const char* port = std::getenv(port_variable);
  return std::string("127.0.0.1:") + (port != nullptr ? port : "1");
}

}  // namespace

TEST(VersionCheckWorker, NewerBuildReachesTheWindow) {
  Receiver receiver;
  ASSERT_NE(receiver.window(), nullptr);
  CVersionCheck check;
  check.Start(Host("TS_HTTP_PORT").c_str(), "update/versioncheck.asp", kUpdateProduct,
              kProgramVersion, receiver.window());
  EXPECT_NE(check.url().find(std::string("/update/versioncheck.asp?product=trackscrub&version=") +
                            kProgramVersion + "&os="),
            std::string::npos);
  const Received& got = receiver.Wait(20000);
  EXPECT_EQ(got.count, 1);
  EXPECT_EQ(got.build, 42u);
  EXPECT_EQ(got.address, "http://download.trackscrub.example/setup.exe");
}

TEST(VersionCheckWorker, SameBuildReportsNothing) {
  Receiver receiver;
  CVersionCheck check;
  check.Start(Host("TS_HTTP_PORT").c_str(), "same/versioncheck.asp", kUpdateProduct,
              kProgramVersion, receiver.window());
  const Received& got = receiver.Wait(20000);
  EXPECT_EQ(got.count, 1);
  EXPECT_EQ(got.build, 0u);
  EXPECT_TRUE(got.address.empty());
}

TEST(VersionCheckWorker, ServerThatIsDownReportsNothing) {
  Receiver receiver;
  CVersionCheck check;
  check.Start(Host("TS_HTTP_DOWN_PORT").c_str(), "update/versioncheck.asp", kUpdateProduct,
              kProgramVersion, receiver.window());
  const Received& got = receiver.Wait(20000);
  EXPECT_EQ(got.count, 1);
  EXPECT_EQ(got.build, 0u);
}

TEST(VersionCheckWorker, StalledServerDoesNotHoldTheWindowOpen) {
  Receiver receiver;
  const auto start = std::chrono::steady_clock::now();
  {
    CVersionCheck check;
    check.Start(Host("TS_HTTP_PORT").c_str(), "stall/versioncheck.asp", kUpdateProduct,
                kProgramVersion, receiver.window());
    Sleep(500);  // the worker is now blocked in its read
  }  // the window closes: Stop
  const auto waited = std::chrono::steady_clock::now() - start;
  // The server stalls for a minute; closing must not wait for it.
  EXPECT_LT(waited, std::chrono::seconds(15));
}

TEST(VersionCheckWorker, ResultForAWindowThatIsGoneIsDropped) {
  HWND gone = nullptr;
  {
    Receiver receiver;
    gone = receiver.window();
  }
  CVersionCheck check;
  check.Start(Host("TS_HTTP_PORT").c_str(), "update/versioncheck.asp", kUpdateProduct,
              kProgramVersion, gone);
  Sleep(200);
  check.Stop();
  EXPECT_FALSE(IsWindow(gone));
}
