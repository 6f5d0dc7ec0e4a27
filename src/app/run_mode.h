// The choice between the interactive and the automatic mode.
#pragma once

#include <string>

enum class RunMode { kInteractive, kAutomatic };

// The command-line tail (the text after the program path) selects the automatic
// mode when it is "/auto" as a whole, in any letter case; anything else, the empty
// tail included, selects the main window.
RunMode SelectRunMode(const std::wstring& command_tail);
