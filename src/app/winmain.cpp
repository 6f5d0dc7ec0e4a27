// trackscrub.exe: start-up and the choice of mode.
//
// Interactive: reports what a scan finds. Automatic (/auto, from the Run entry at
// login): cleans when a clean is due and records the time.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "app/run_mode.h"
#include "app/settings.h"
#include "model/filter.h"
#include "model/scanner.h"
#include "model/summary.h"

namespace {

void RunInteractive() {
  CCookieFilter filter;
  CScanLists lists;
  RunScanSequence(filter, &lists);
  const std::wstring text = FormatFoundSentence(lists) + FormatLastCleanLine();
  MessageBoxW(nullptr, text.c_str(), L"Trackscrub", MB_OK | MB_ICONINFORMATION);
}

void RunAutomatic() {
  if (CtrackscrubApp::GetDaysToNextClean() >= 0) return;
  CCookieFilter filter;
  RunCleanSequence(filter);
  CtrackscrubApp::RecordClean();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR command_tail, int) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  if (SelectRunMode(command_tail != nullptr ? command_tail : L"") == RunMode::kAutomatic) {
    RunAutomatic();
  } else {
    RunInteractive();
  }
  return 0;
}
