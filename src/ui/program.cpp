#include "ui/program.h"

#include <windows.h>
#include <commctrl.h>

#include "app/run_mode.h"
#include "ui/fake_dlg.h"
#include "ui/intro.h"

namespace ui {

int RunProgram(const wchar_t* command_tail) {
  // A failure here only costs the visual styles; the dialogs still run.
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

}  // namespace ui
