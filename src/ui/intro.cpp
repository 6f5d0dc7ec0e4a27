#include "ui/intro.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/run_filter.h"
#include "app/settings.h"
#include "app/version.h"
#include "model/filter.h"
#include "scan/scanner.h"
#include "scan/summary.h"
#include "platform/platform.h"
#include "res/resource.h"
#include "ui/app_profile.h"
#include "ui/autostart.h"
#include "ui/browser_running.h"
#include "ui/config_dlg.h"
#include "ui/details_dlg.h"
#include "ui/system_calls.h"

namespace {

struct Unit {
  const wchar_t* text;
  uint32_t seconds;
};
constexpr Unit kUnits[] = {{L"days", kPeriodDay}, {L"weeks", kPeriodWeek}, {L"months", kPeriodMonth}};

// While the lists are downloaded: once a second, the time cap.
constexpr UINT_PTR kListTimer = 1;
constexpr UINT kListTimerMs = 1000;

// Each sentence about a running browser that held a database, a paragraph of its
// own.
std::wstring HeldParagraphs(const std::vector<HeldBrowserStore>& held) {
  std::wstring text;
  for (const std::wstring& sentence : HeldSentences(held)) text += L"\n\n" + sentence;
  return text;
}

}  // namespace

CIntro::CIntro(HWND parent)
    : Dialog(IDD_MAIN, parent),
      running_test_([](const BrowserProcessNames& names) {
        return ui::IsBrowserRunning(names) != FALSE;
      }) {}

BOOL CIntro::OnInitDialog() {
  SetWindowIcons(IDI_APPLICATION_ICON);
  SetPicture();

  // At most one version check per window, and none within the minute of the last
  // one or the minute after it. It runs in the background and reports with
  // WM_VERSIONCHECK.
  if (m_pVersionCheck == nullptr) {
    const uint32_t now = VersionCheckMinute(platform::CurrentCalendarTime());
    if (IsVersionCheckDue(
            ui::ReadAppProfileInt(ui::kSectionSettings, ui::kEntryLastVersionCheck, 0), now)) {
      m_pVersionCheck = std::make_unique<CVersionCheck>();
      m_pVersionCheck->Start(m_updateHost.c_str(), m_updatePath.c_str(), kUpdateProduct,
                              kProgramVersion, hwnd());
      ui::WriteAppProfileInt(ui::kSectionSettings, ui::kEntryLastVersionCheck, now);
    }
  }

  m_link.Attach(Item(IDC_UPDATE_LINK));
  ShowWindow(Item(IDC_UPDATE_LINK), SW_HIDE);
  UpdateSummary();
  FillScheduleLists();
  SetChecked(IDC_AUTOSTART, IsAutostartEnabled() != FALSE);
  UpdateScheduleText();
  StartListDownload();
  return TRUE;
}

void CIntro::StartListDownload() {
  if (m_listDownload.running()) {
    m_bListsAgain = true;
    return;
  }
  if (m_listDownload.Start(GetTrackerListSources(), hwnd())) SetTimer(hwnd(), kListTimer, kListTimerMs, nullptr);
}

void CIntro::OnListDownload(WPARAM replaced) {
  if (!m_listDownload.running()) KillTimer(hwnd(), kListTimer);
  if (replaced > 0) UpdateSummary();
  if (m_bListsAgain) {
    m_bListsAgain = false;
    StartListDownload();
  }
}

void CIntro::SetPicture() {
  ui::Icon picture = ui::LoadIconAt(IDI_APPLICATION_ICON, ui::Scale(48, dpi()));
  // Without it the control keeps the icon it shows.
  if (picture == nullptr) return;
  SendDlgItemMessageW(hwnd(), IDC_PICTURE, STM_SETICON, reinterpret_cast<WPARAM>(picture.get()), 0);
  m_picture = std::move(picture);
}

void CIntro::OnDpiChanged(UINT) { SetPicture(); }

void CIntro::FillScheduleLists() {
  const uint32_t frequency = CtrackscrubApp::GetRegDWORD(kValueCleanFrequency, kDefaultCleanFrequency);
  const uint32_t period = CtrackscrubApp::GetRegDWORD(kValueCleanPeriod, kDefaultCleanPeriod);
  const HWND frequencies = Item(IDC_FREQUENCY);
  SendMessageW(frequencies, CB_RESETCONTENT, 0, 0);
  for (int n = 1; n <= 30; ++n) {
    wchar_t text[16];
    std::swprintf(text, 16, L"%d", n);
    const LRESULT index = SendMessageW(frequencies, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    SendMessageW(frequencies, CB_SETITEMDATA, static_cast<WPARAM>(index), n);
    if (static_cast<uint32_t>(n) == frequency) {
      SendMessageW(frequencies, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
  }
  const HWND units = Item(IDC_UNIT);
  SendMessageW(units, CB_RESETCONTENT, 0, 0);
  for (const Unit& unit : kUnits) {
    const LRESULT index = SendMessageW(units, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(unit.text));
    SendMessageW(units, CB_SETITEMDATA, static_cast<WPARAM>(index), unit.seconds);
    if (unit.seconds == period) SendMessageW(units, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  }
}

void CIntro::UpdateSummary() {
  const RunFilter run = BuildSettingsFilter();
  const CCookieFilter& filter = run.filter;
  CScanLists lists;
  RunScanSequence(filter, &lists, CtrackscrubApp::IsBrowserEnabled);
  ShowSummary(lists);
}

void CIntro::ShowSummary(const CScanLists& lists) {
  const bool found = lists.Total() > 0;
  SetItemText(IDC_SUMMARY, FormatFoundSentence(lists) + HeldParagraphs(lists.held) +
                               FormatLastCleanLine(CtrackscrubApp::GetLastClean()));
  EnableItem(IDC_DETAILS, found);
  EnableItem(IDC_CLEAN_NOW, found);
}

void CIntro::UpdateScheduleText() {
  if (!IsAutostartEnabled()) {
    SetItemText(IDC_SCHEDULE, L"");
    return;
  }
  const int days = CtrackscrubApp::GetDaysToNextClean();
  std::wstring text;
  if (days < 0) {
    text = L"Cookies will be automatically cleaned when you next log on to your computer.";
  } else if (days > 1) {
    wchar_t line[128];
    std::swprintf(line, 128, L"Cookies will be automatically cleaned after %d days.", days);
    text = line;
  } else {
    text = L"Cookies will be automatically cleaned when you log on to your computer tomorrow.";
  }
  SetItemText(IDC_SCHEDULE, text);
}

BOOL CIntro::ConfirmCleanWhileRunning(const wchar_t* display_name) {
  const std::wstring text =
      std::wstring(display_name) +
      L" appears to be running. For Trackscrub to be effective, it is recommended to close your "
      L"browser windows before this step. Do you wish to clean cookies in this browser, even if "
      L"it is running?";
  return ui::ShowMessageBox(hwnd(), text, L"Trackscrub", MB_YESNO) == IDYES;
}

void CIntro::CleanNow() {
  const RunFilter run = BuildSettingsFilter();
  const CCookieFilter& filter = run.filter;
  const auto may_clean = [this](Browser browser) {
    const BrowserProcessNames* process = ui::FindBrowserProcess(browser);
    if (process == nullptr) return true;
    return !running_test_(*process) ||
           ConfirmCleanWhileRunning(process->display_name) != FALSE;
  };
  std::vector<HeldBrowserStore> held;
  const int removed =
      RunCleanSequence(filter, CtrackscrubApp::IsBrowserEnabled, may_clean, &held);
  ui::MessageBoxFormat(hwnd(), L"Trackscrub", MB_ICONINFORMATION, L"%ls",
                       (FormatCleanResult(removed) + HeldParagraphs(held)).c_str());
  CtrackscrubApp::RecordClean();
  UpdateSummary();
  UpdateScheduleText();
}

BOOL CIntro::IsAutostartEnabled() { return ui::IsAutostartEnabled() ? TRUE : FALSE; }

void CIntro::SetAutostart(BOOL enable) { ui::SetAutostart(enable != FALSE, ui::ModulePath()); }

void CIntro::OnScheduleChanged(int list_id, const wchar_t* value_name) {
  const HWND list = Item(list_id);
  const LRESULT selection = SendMessageW(list, CB_GETCURSEL, 0, 0);
  if (selection != CB_ERR) {
    const LRESULT data = SendMessageW(list, CB_GETITEMDATA, static_cast<WPARAM>(selection), 0);
    CtrackscrubApp::SetRegDWORD(value_name, static_cast<uint32_t>(data));
  }
  UpdateScheduleText();
}

bool CIntro::OnCommand(int id, int code, HWND control) {
  switch (id) {
    case IDC_DETAILS:
      if (code != BN_CLICKED) return false;
      {
        CtrackscrubDlg details(hwnd());
        if (details.DoModal() == IDOK) CleanNow();
      }
      return true;
    case IDC_CLEAN_NOW:
      if (code != BN_CLICKED) return false;
      CleanNow();
      return true;
    case IDC_OPTIONS:
      if (code != BN_CLICKED) return false;
      {
        CConfigDlg options(hwnd());
        options.DoModal();
      }
      StartListDownload();
      UpdateSummary();
      return true;
    case IDC_AUTOSTART:
      if (code != BN_CLICKED) return false;
      SetAutostart(SendDlgItemMessageW(hwnd(), IDC_AUTOSTART, BM_GETCHECK, 0, 0) == BST_CHECKED);
      UpdateScheduleText();
      return true;
    case IDC_FREQUENCY:
      if (code != CBN_SELCHANGE) return false;
      OnScheduleChanged(IDC_FREQUENCY, kValueCleanFrequency);
      return true;
    case IDC_UNIT:
      if (code != CBN_SELCHANGE) return false;
      OnScheduleChanged(IDC_UNIT, kValueCleanPeriod);
      return true;
    case IDC_UPDATE_LINK:
      if (code != STN_CLICKED) return false;
      m_link.OnClicked();
      return true;
    default:
      return Dialog::OnCommand(id, code, control);
  }
}

std::optional<LRESULT> CIntro::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_VERSIONCHECK) {
    OnVersionCheck(wparam, lparam);
    return 0;
  }
  if (message == kWmListDownload) {
    OnListDownload(wparam);
    return 0;
  }
  if (message == WM_TIMER && wparam == kListTimer) {
    m_listDownload.Poll();
    return 0;
  }
  if (message == WM_DESTROY) {
    KillTimer(hwnd(), kListTimer);
    m_listDownload.Stop();
  }
  // The check reports to this window only: it ends with it. A result that arrived
  // too late to be shown would be flushed from the queue with the window, its
  // address copy lost; take it out first and free the copy.
  if (message == WM_DESTROY && m_pVersionCheck != nullptr) {
    m_pVersionCheck->Stop();
    MSG pending;
    while (PeekMessageW(&pending, hwnd(), WM_VERSIONCHECK, WM_VERSIONCHECK, PM_REMOVE)) {
      std::free(reinterpret_cast<void*>(pending.lParam));
    }
  }
  return std::nullopt;
}

void CIntro::OnVersionCheck(WPARAM wparam, LPARAM lparam) {
  char* address = reinterpret_cast<char*>(lparam);
  // The string is ours from here on, whatever happens below.
  struct Owned {
    char* text;
    ~Owned() { std::free(text); }
  } owned{address};
  if (wparam == 0 || address == nullptr) return;
  std::wstring url;
  for (const char* c = address; *c != '\0'; ++c) url += static_cast<wchar_t>(static_cast<unsigned char>(*c));
  SetWindowTextW(m_link.hwnd(), L"An update is available.");
  m_link.SetURL(url);
  ShowWindow(m_link.hwnd(), SW_SHOW);
  InvalidateRect(m_link.hwnd(), nullptr, FALSE);
}
