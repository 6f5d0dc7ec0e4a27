// The options dialog: the filter list and a switch for every browser.
#pragma once

#include <windows.h>

#include <vector>

#include "ui/dpi.h"
#include "ui/resizing_dialog.h"

class CConfigDlg : public ui::CResizingDialog {
 public:
  explicit CConfigDlg(HWND parent = nullptr);

  // Fills the controls from the settings and puts the focus into the filter.
  void LoadOptions();
  // Deletes the filter and the switches at once and shows their defaults.
  void OnDefaults();
  // Explains the filter syntax.
  void OnMoreInfo();

 protected:
  BOOL OnInitDialog() override;
  // Puts an icon and a switch for each row of the table of browsers beside the
  // filter.
  void AddBrowserRows();
  bool OnCommand(int id, int code, HWND control) override;
  // Stores the filter and the switches and ends the dialog.
  void OnOK() override;
  void OnDpiChanged(UINT old_dpi) override;

 private:
  // Shows each browser's icon at the large-icon size of the window's DPI.
  void SetBrowserIcons();

  // The icons the rows show, one per browser.
  std::vector<ui::Icon> browser_icons_;
};

// The text of "More info...".
extern const wchar_t kFilterHelpText[];
