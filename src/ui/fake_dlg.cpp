#include "ui/fake_dlg.h"

#include <cwchar>
#include <string>
#include <vector>

#include "app/run_filter.h"
#include "app/settings.h"
#include "model/filter.h"
#include "scan/scanner.h"
#include "scan/summary.h"
#include "res/resource.h"
#include "ui/system_calls.h"

namespace {

constexpr UINT_PTR kBalloonTimer = 1;
// NOTIFYICONDATAW up to guidItem, without hBalloonIcon (952 bytes in a 32-bit
// build): what every shell since Windows XP takes.
constexpr DWORD kNotifyIconDataSize = NOTIFYICONDATAW_V3_SIZE;

NOTIFYICONDATAW IconData(HWND hwnd) {
  NOTIFYICONDATAW data = {};
  data.cbSize = kNotifyIconDataSize;
  data.hWnd = hwnd;
  data.uID = 0;
  return data;
}

// The balloon's text: the count when something was removed, a line for each
// browser that held a database (whole lines, as many as fit), and the hint. It
// always fits `capacity` characters with its terminator.
std::wstring BalloonText(int removed, const std::vector<HeldBrowserStore>& held,
                         size_t capacity) {
  const std::wstring hint = L"Click here for options.";
  std::wstring text;
  if (removed > 0) text = std::to_wstring(removed) + L" evil cookies have been removed.\n";
  for (const std::wstring& sentence : HeldSentences(held)) {
    if (text.size() + sentence.size() + 1 + hint.size() >= capacity) break;
    text += sentence + L"\n";
  }
  return text + hint;
}

}  // namespace

CFakeDlg::CFakeDlg()
    : Dialog(IDD_AUTOMATIC, nullptr),
      notify_message_(RegisterWindowMessageW(L"Trackscrub.Notify")) {}

BOOL CFakeDlg::OnInitDialog() {
  if (CtrackscrubApp::GetDaysToNextClean() >= 0) {
    EndDialog(0);
    return TRUE;
  }
  const RunFilter run = BuildSettingsFilter();
  const CCookieFilter& filter = run.filter;
  std::vector<HeldBrowserStore> held;
  const int removed = RunCleanSequence(filter, CtrackscrubApp::IsBrowserEnabled, nullptr, &held);
  CtrackscrubApp::RecordClean();
  // Nothing to show, or nowhere to show it: the run is over. A running browser that
  // kept its cookies is worth telling even when nothing was removed.
  if ((removed == 0 && held.empty()) || !ShowBalloon(removed, held)) {
    EndDialog(0);
    return TRUE;
  }
  // The shell may never report the balloon's end (no notification area, focus
  // assist, some shells never do): the run ends by itself after the display time.
  SetTimer(hwnd(), kBalloonTimer, balloon_wait_ms_, nullptr);
  return TRUE;
}

bool CFakeDlg::ShowBalloon(int removed, const std::vector<HeldBrowserStore>& held) {
  ui::SystemCalls& calls = ui::GetSystemCalls();
  NOTIFYICONDATAW add = IconData(hwnd());
  add.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  add.uCallbackMessage = notify_message_;
  tray_icon_ = ui::LoadIconAt(IDI_APPLICATION_ICON, ui::SmallIconSize(dpi()));
  add.hIcon = tray_icon_.get();
  wcsncpy(add.szTip, L"Trackscrub", ARRAYSIZE(add.szTip) - 1);
  if (!calls.notify_icon(NIM_ADD, &add)) return false;
  icon_added_ = true;

  NOTIFYICONDATAW version = IconData(hwnd());
  version.uVersion = NOTIFYICON_VERSION;
  calls.notify_icon(NIM_SETVERSION, &version);

  NOTIFYICONDATAW balloon = IconData(hwnd());
  balloon.uFlags = NIF_INFO;
  const std::wstring info = BalloonText(removed, held, ARRAYSIZE(balloon.szInfo));
  wcsncpy(balloon.szInfo, info.c_str(), ARRAYSIZE(balloon.szInfo) - 1);
  wcsncpy(balloon.szInfoTitle, L"Trackscrub", ARRAYSIZE(balloon.szInfoTitle) - 1);
  balloon.uTimeout = 30;
  balloon.dwInfoFlags = NIIF_INFO;
  calls.notify_icon(NIM_MODIFY, &balloon);
  return true;
}

void CFakeDlg::RemoveTrayIcon() {
  if (!icon_added_) return;
  NOTIFYICONDATAW data = IconData(hwnd());
  ui::GetSystemCalls().notify_icon(NIM_DELETE, &data);
  icon_added_ = false;
  tray_icon_.reset();
}

void CFakeDlg::OnNotify(LPARAM lparam) {
  switch (LOWORD(lparam)) {
    case NIN_BALLOONUSERCLICK:
      // The main window, where the user sees the summary and reaches the options.
      ui::GetSystemCalls().shell_open(nullptr, ui::ModulePath());
      [[fallthrough]];
    case NIN_BALLOONHIDE:
    case NIN_BALLOONTIMEOUT:
      KillTimer(hwnd(), kBalloonTimer);
      RemoveTrayIcon();
      EndDialog(0);
      break;
    default:
      break;
  }
}

std::optional<LRESULT> CFakeDlg::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == notify_message_) {
    OnNotify(lparam);
    return TRUE;
  }
  switch (message) {
    case WM_TIMER:
      if (wparam != kBalloonTimer) return std::nullopt;
      KillTimer(hwnd(), kBalloonTimer);
      RemoveTrayIcon();
      EndDialog(0);
      return 0;
    case WM_CLOSE:
      KillTimer(hwnd(), kBalloonTimer);
      RemoveTrayIcon();
      EndDialog(IDCANCEL);
      return 0;
    default:
      return std::nullopt;
  }
}
