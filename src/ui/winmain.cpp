// trackscrub.exe: the Windows program's entry point.
#include <windows.h>

#include "ui/program.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR command_tail, int) {
  return ui::RunProgram(command_tail);
}
