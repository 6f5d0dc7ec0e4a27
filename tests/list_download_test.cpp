// The tracker lists' download against a local HTTP server, under Wine.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/run_filter.h"
#include "platform/platform.h"
#include "support/temp_tree.h"
#include "update/list_download.h"

namespace {

class ListDownloadTest : public testing::Test {
 protected:
  ~ListDownloadTest() override { DestroyWindow(window_); }

  static std::wstring Address(const std::string& path) {
    const char* port = std::getenv("TS_HTTP_PORT");
    return platform::WideFromUtf8("http://127.0.0.1:" + std::string(port != nullptr ? port : "1") + "/" + path);
  }
  static std::wstring CopyOf(const std::wstring& address) {
    std::wstring copy;
    EXPECT_TRUE(ListCopyPath(address, &copy));
    return copy;
  }
  static ListReport Report(const std::wstring& address) {
    CTrackerList list;
    return ReadTrackerList(address, &list);
  }
  // Runs one round to its end: the number of copies it replaced, or -1 when it did
  // not end within 20 seconds.
  int RunRound(const std::vector<std::wstring>& addresses, ULONGLONG cap_ms = CListDownload::kTimeCapMs) {
    CListDownload download;
    download.set_time_cap_ms(cap_ms);
    EXPECT_TRUE(download.Start(addresses, window_));
    for (const ULONGLONG start = GetTickCount64(); GetTickCount64() - start < 20000; Sleep(20)) {
      download.Poll();
      MSG message;
      if (PeekMessageW(&message, window_, kWmListDownload, kWmListDownload, PM_REMOVE)) {
        return static_cast<int>(message.wParam);
      }
    }
    return -1;
  }

  TempProfile profile_;
  HWND window_ = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
};

}  // namespace

TEST_F(ListDownloadTest, EachListIsFetchedAndAFailedOneKeepsItsLastGoodCopy) {
  const struct {
    const char* path;
    size_t domains;
    std::wstring state;
  } cases[] = {
      {"lists/hosts", 2, L""},
      {"lists/empty", 1, L"download failed: the download holds no domain; last good copy kept"},
      {"lists/missing", 1, L"download failed: the server answered 404; last good copy kept"},
      {"lists/huge", 1, L"download failed: the list is larger than 64 MiB; last good copy kept"},
  };
  const std::wstring elsewhere = L"http://lists.example.org/hosts";  // plain http:// away from here
  std::vector<std::wstring> addresses = {elsewhere};
  for (const auto& c : cases) {
    addresses.push_back(Address(c.path));
    profile_.WriteListCopy(addresses.back(), "kept.example\n");  // a good copy, never asked for
  }
  EXPECT_EQ(RunRound(addresses), 1);
  for (const auto& c : cases) {
    const ListReport report = Report(Address(c.path));
    EXPECT_EQ(report.domains, c.domains) << c.path;
    EXPECT_EQ(ListStateText(report), c.state) << c.path;
    EXPECT_FALSE(platform::FileExists(CopyOf(Address(c.path)) + L".download")) << c.path;
  }
  EXPECT_FALSE(platform::FileExists(CopyOf(elsewhere) + L".state"));
  EXPECT_FALSE(CListDownload().Start({elsewhere, L"C:\\lists\\hosts.txt"}, window_));
}

TEST_F(ListDownloadTest, AListIsAskedForAtMostOnceADayAndSentAgainOnlyWhenChanged) {
  const std::wstring address = Address("lists/hosts");
  ASSERT_EQ(RunRound({address}), 1);
  const ListDownloadState first = ReadListDownloadState(CopyOf(address));
  EXPECT_EQ(first.etag, "\"hosts-1\"");
  EXPECT_EQ(first.last_modified, "Mon, 01 Jan 2024 00:00:00 GMT");
  EXPECT_EQ(RunRound({address}), 0);  // asked today already
  EXPECT_EQ(ReadListDownloadState(CopyOf(address)), first);
  ListDownloadState a_day_ago = first;
  a_day_ago.checked -= 864000000000ull;
  ASSERT_TRUE(WriteListDownloadState(CopyOf(address), a_day_ago));
  EXPECT_EQ(RunRound({address}), 0);  // not modified
  const ListDownloadState second = ReadListDownloadState(CopyOf(address));
  EXPECT_GT(second.checked, a_day_ago.checked);
  EXPECT_EQ(second.etag, first.etag);
  EXPECT_EQ(ListStateText(Report(address)), L"");
  EXPECT_EQ(Report(address).domains, 2u);
}

TEST_F(ListDownloadTest, AStalledDownloadEndsAtTheTimeCapAndSaysSo) {
  const std::wstring address = Address("stall/list");
  const ULONGLONG start = GetTickCount64();
  EXPECT_EQ(RunRound({address}, 2000), 0);
  EXPECT_LT(GetTickCount64() - start, 15000u);
  EXPECT_EQ(ListStateText(Report(address)), L"download failed: the download took longer than 2 seconds");
}
