// trackscrub.exe: start-up and the choice of mode.
//
// Exactly one window runs, modally, and the program ends with it: the main window,
// or for "/auto" (the Run entry at login) the invisible automatic run.
#include <windows.h>
#include <commctrl.h>

#include "app/run_mode.h"
#include "ui/fake_dlg.h"
#include "ui/intro.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR command_tail, int) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  if (SelectRunMode(command_tail != nullptr ? command_tail : L"") == RunMode::kAutomatic) {
    CFakeDlg automatic;
    automatic.DoModal();
  } else {
    CIntro main_window;
    main_window.DoModal();
  }
  return 0;
}
