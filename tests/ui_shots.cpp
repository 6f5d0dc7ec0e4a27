// Shows one of the program's windows over a given profile for a picture, and says
// where it is once it has been painted.
//
// usage: ui_shots.exe main|details|storage|options PROFILE_DIR READY_FILE
//
// "storage" is the details dialog made taller and scrolled to its end, where the
// page storage of today's browsers is listed.
//
// Settings are taken below a key of their own, removed at the end. The window is
// placed at (16, 16); when it has been painted, READY_FILE receives "x y width
// height" (screen pixels). The window stays until READY_FILE is deleted (or for 30
// seconds).
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <memory>
#include <string>

#include "app/run_filter.h"
#include "app/settings.h"
#include "platform/platform.h"
#include "res/resource.h"
#include "ui/autostart.h"
#include "ui/config_dlg.h"
#include "ui/details_dlg.h"
#include "ui/intro.h"

namespace {

constexpr wchar_t kShotsRoot[] = L"Software\\TrackscrubScreenshots";

void Pump(DWORD milliseconds) {
  const DWORD end = GetTickCount() + milliseconds;
  while (GetTickCount() < end) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(20);
  }
}

// A demo state: cleaned three days ago, automatic cleaning every 2 weeks.
void PrepareSettings() {
  platform::RegKey run;
  platform::RegKey::Create(ui::kRunKey, platform::RegAccess::kWrite, &run);
  ui::SetAutostart(true, L"C:\\Program Files\\Trackscrub\\trackscrub.exe");
  const uint64_t three_days = 3ull * 86400 * 10000000;
  const uint64_t when = platform::GetSystemTimeAsFileTime() - three_days;
  CtrackscrubApp::SetRegDWORD(kValueLastCleanHigh, static_cast<uint32_t>(when >> 32));
  CtrackscrubApp::SetRegDWORD(kValueLastCleanLow, static_cast<uint32_t>(when));
}

void WriteTextFile(const std::wstring& path, const char* text) {
  FILE* file = _wfopen(path.c_str(), L"wb");
  if (file == nullptr) return;
  std::fputs(text, file);
  std::fclose(file);
}

// Two tracker lists, a file and a downloaded one, and a keep list.
void PrepareLists(const std::wstring& profile) {
  const std::wstring hosts = profile + L"\\hosts-trackers.txt";
  WriteTextFile(hosts, "# trackers\n0.0.0.0 metrics.example\n0.0.0.0 beacon.example\n"
                       "0.0.0.0 pixel.example\n");
  const std::wstring address = L"https://lists.trackscrub.example/trackers.txt";
  std::wstring folder, copy;
  if (ListCopyFolder(&folder) && ListCopyPath(address, &copy)) {
    CreateDirectoryW(folder.substr(0, folder.find_last_of(L'\\')).c_str(), nullptr);
    CreateDirectoryW(folder.c_str(), nullptr);
    WriteTextFile(copy, "||ads.example^\n||track.example^$third-party\n@@||ok.example^\n");
    ListDownloadState state;
    state.checked = state.confirmed = platform::GetSystemTimeAsFileTime();
    WriteListDownloadState(copy, state);
  }
  SetTrackerListSources({hosts, address});
  CtrackscrubApp::SetRegString(kValueNeverClean, L"mybank.example\nmail.example");
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr || argc != 4) return 2;
  const std::wstring which = argv[1];
  const std::wstring ready = argv[3];
  platform::SetProfileRoot(argv[2]);
  platform::RegDeleteKeyTree(kShotsRoot);
  platform::SetRegistryTestRoot(kShotsRoot);
  PrepareSettings();
  if (which == L"options") PrepareLists(argv[2]);

  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  std::unique_ptr<ui::Dialog> dialog;
  if (which == L"main") {
    dialog = std::make_unique<CIntro>();
  } else if (which == L"details" || which == L"storage") {
    dialog = std::make_unique<CtrackscrubDlg>();
  } else if (which == L"options") {
    dialog = std::make_unique<CConfigDlg>();
  } else {
    return 2;
  }
  int status = 3;
  if (dialog->Create()) {
    SetWindowPos(dialog->hwnd(), HWND_TOP, 16, 16, 0, 0, SWP_NOSIZE);
    if (which == L"storage") {
      RECT size = {};
      GetWindowRect(dialog->hwnd(), &size);
      SetWindowPos(dialog->hwnd(), HWND_TOP, 16, 16, (size.right - size.left) * 3 / 2,
                   (size.bottom - size.top) * 3 / 2, 0);
      const HWND list = GetDlgItem(dialog->hwnd(), IDC_COOKIE_LIST);
      const LRESULT rows = SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
      if (rows > 0) SendMessageW(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(rows - 1), FALSE);
    }
    ShowWindow(dialog->hwnd(), SW_SHOW);
    SetForegroundWindow(dialog->hwnd());
    UpdateWindow(dialog->hwnd());
    Pump(1500);
    RECT rect = {};
    GetWindowRect(dialog->hwnd(), &rect);
    FILE* file = _wfopen(ready.c_str(), L"w");
    if (file != nullptr) {
      std::fprintf(file, "%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
                   rect.bottom - rect.top);
      std::fclose(file);
      const DWORD end = GetTickCount() + 30000;
      while (GetFileAttributesW(ready.c_str()) != INVALID_FILE_ATTRIBUTES && GetTickCount() < end) {
        Pump(100);
      }
      status = 0;
    }
    dialog->Destroy();
  }
  platform::SetRegistryTestRoot(L"");
  platform::RegDeleteKeyTree(kShotsRoot);
  LocalFree(argv);
  return status;
}
