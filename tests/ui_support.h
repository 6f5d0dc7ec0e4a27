// What the window tests share: a sandboxed registry and profile, recorders that
// stand in for message boxes, the notification icon and the shell, and helpers
// that drive real windows.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "support/registry_sandbox.h"
#include "support/temp_tree.h"

struct ShownMessage {
  std::wstring text;
  std::wstring caption;
  UINT type;
};

struct OpenedFile {
  bool default_verb;
  std::wstring verb;
  std::wstring file;
};

class UiTest : public RegistryTest {
 protected:
  UiTest();
  ~UiTest() override;

  // Writes one IE cookie file with `count` records for `site`.
  void WriteIECookies(const std::string& file, int count, const std::string& site);
  std::string CookiePath(const std::string& file) const;
  // Creates the Run key below the sandbox (the program never creates it).
  void CreateRunKey();
  // Records a last clean `seconds` before now.
  void SetLastCleanSecondsAgo(long long seconds);
  uint64_t LastClean() const;

  // Every message box shown; each is answered from `answers_` (IDOK when empty).
  std::vector<ShownMessage> messages_;
  std::deque<int> answers_;
  // Every Shell_NotifyIconW call; `notify_result_` is what they return.
  std::vector<std::pair<DWORD, NOTIFYICONDATAW>> notify_calls_;
  BOOL notify_result_ = TRUE;
  std::vector<OpenedFile> opened_;

  TempProfile profile_;
};

// A registry value under the sandbox: type and raw bytes; false when absent.
bool ReadRawValue(const std::wstring& key, const std::wstring& name, uint32_t* type,
                  std::wstring* text, uint32_t* dword = nullptr);

// Clicks a button (or check box) of a dialog as a mouse click would.
void Click(HWND dialog, int id);
// Selects an entry of a drop-down list and tells the dialog, as the user's choice does.
void SelectComboEntry(HWND dialog, int id, int index);
std::wstring WindowText(HWND hwnd);
// The text of a list view's cell (up to 511 characters), and its number of rows.
std::wstring ListViewCell(HWND list, int row, int column);
int ListViewRows(HWND list);
// A control's rectangle in its dialog's client coordinates.
RECT ControlRect(HWND dialog, int id);
// The width in pixels of an icon's image; 0 for no icon.
int IconSide(HICON icon);
// A rectangle in dialog units converted to the dialog's pixels.
RECT DialogUnits(HWND dialog, int x, int y, int cx, int cy);

// Runs `action`; once a visible window of this thread with `caption` appears (a
// dialog that `action` runs modally), `drive` gets it. Fails the test when none
// appears.
void WhileDialogOpen(const std::wstring& caption, const std::function<void(HWND)>& drive,
                     const std::function<void()>& action);

// Dispatches the thread's pending messages.
void PumpMessages();
