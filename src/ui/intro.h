// The main window: the summary of a fresh scan, Clean Now, the details and options
// dialogs, and the schedule of the automatic clean at login.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <memory>

#include "scan/browsers.h"
#include "scan/scanner.h"
#include "ui/dialog.h"
#include "ui/static_hyperlink.h"
#include "update/list_download.h"
#include "update/version_check.h"
#include "update/version_reply.h"

// Posted by the version check: wParam non-zero when a newer version exists, lParam a
// strdup'ed 8-bit download address (or null) that the window frees.
inline constexpr UINT WM_VERSIONCHECK = kWmVersionCheck;
static_assert(WM_VERSIONCHECK == WM_USER + 1);

class CIntro : public ui::Dialog {
 public:
  explicit CIntro(HWND parent = nullptr);

  // Rescans, rewrites the summary, enables or disables Details and Clean Now.
  void UpdateSummary();
  // The summary of one scan's lists, with the last-clean line.
  void ShowSummary(const CScanLists& lists);
  // Rewrites the schedule line from the Run entry and the days to the next clean.
  void UpdateScheduleText();
  // Cleans every enabled browser (asking about running ones), reports the count,
  // records the clean and rebuilds the summary and the schedule line.
  void CleanNow();
  // Asks whether to clean a running browser; TRUE for Yes.
  BOOL ConfirmCleanWhileRunning(const wchar_t* display_name);

  static BOOL IsAutostartEnabled();
  static void SetAutostart(BOOL enable);

  // The running-browser test of a browser's names; IsBrowserRunning unless replaced.
  using RunningTest = std::function<bool(const BrowserProcessNames& names)>;
  void SetRunningTest(RunningTest test) { running_test_ = std::move(test); }

  const ui::CStaticHyperlink& update_link() const { return m_link; }
  // The download of the tracker lists at their addresses, started with the window
  // and after the options dialog; the summary follows when a copy changes.
  const CListDownload& list_download() const { return m_listDownload; }
  // The check this window started, or null.
  const CVersionCheck* version_check() const { return m_pVersionCheck.get(); }
  // The update server the version check asks (host[:port] and path); the
  // program's own unless a test names a local one before the window opens.
  void SetUpdateServer(std::string host, std::string path) {
    m_updateHost = std::move(host);
    m_updatePath = std::move(path);
  }

 protected:
  BOOL OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;
  std::optional<LRESULT> OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  void OnDpiChanged(UINT old_dpi) override;

 private:
  // The picture beside the summary: the program's icon, 48 pixels at 96 DPI.
  void SetPicture();
  void FillScheduleLists();
  void OnScheduleChanged(int list_id, const wchar_t* value_name);
  void OnVersionCheck(WPARAM wparam, LPARAM lparam);
  // Starts a round of the lists' download, or another once the running one ends.
  void StartListDownload();
  void OnListDownload(WPARAM replaced);

  ui::CStaticHyperlink m_link;
  ui::Icon m_picture;
  // Stopped (and its worker waited for) before the window goes.
  std::unique_ptr<CVersionCheck> m_pVersionCheck;
  // Stopped before the window goes; a timer holds it to its time cap meanwhile.
  CListDownload m_listDownload;
  bool m_bListsAgain = false;
  std::string m_updateHost = kUpdateHost;
  std::string m_updatePath = kUpdatePath;
  RunningTest running_test_;
};
