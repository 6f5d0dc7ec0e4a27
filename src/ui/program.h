// Start-up: initialises the common controls and runs exactly one window modally,
// chosen by the command-line tail; the program ends when it returns.
#pragma once

namespace ui {

// "/auto" (any letter case, as the whole tail) runs the automatic mode; anything
// else the main window. Returns the process's exit code, 0.
int RunProgram(const wchar_t* command_tail);

}  // namespace ui
