#include "app/run_mode.h"

namespace {

wchar_t FoldCase(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c; }

}  // namespace

RunMode SelectRunMode(const std::wstring& command_tail) {
  static const std::wstring kAuto = L"/auto";
  if (command_tail.size() != kAuto.size()) return RunMode::kInteractive;
  for (size_t i = 0; i < kAuto.size(); ++i) {
    if (FoldCase(command_tail[i]) != kAuto[i]) return RunMode::kInteractive;
  }
  return RunMode::kAutomatic;
}
