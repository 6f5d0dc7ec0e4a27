// The options dialog: the filter list, a switch for every browser, the tracker
// lists and the keep list.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "app/run_filter.h"
#include "ui/dpi.h"
#include "ui/resizing_dialog.h"

class CConfigDlg : public ui::CResizingDialog {
 public:
  explicit CConfigDlg(HWND parent = nullptr);

  // Fills the controls from the settings (reading each tracker list for its row)
  // and puts the focus into the filter.
  void LoadOptions();
  // Deletes the filter and the switches at once and shows their defaults; the
  // tracker lists and the keep list, which have none, stay as they are shown.
  void OnDefaults();
  // Explains the filter syntax.
  void OnMoreInfo();

 protected:
  BOOL OnInitDialog() override;
  // Puts an icon and a switch for each row of the table of browsers beside the
  // filter.
  void AddBrowserRows();
  bool OnCommand(int id, int code, HWND control) override;
  std::optional<LRESULT> OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  // Stores the filter, the switches, the tracker lists (removing the downloaded
  // copies of the lists no longer named) and the keep list, and ends the dialog.
  void OnOK() override;
  void OnDpiChanged(UINT old_dpi) override;

 private:
  // Shows each browser's icon at the large-icon size of the window's DPI.
  void SetBrowserIcons();
  void LoadPatternsAndSwitches();
  // One row for each list: its name, number of domains, when it was last updated
  // and what is wrong with it.
  void ShowLists();
  // Adds a list file or address, read at once for its row, unless it is already
  // there; either way its row is selected.
  void AddList(const std::wstring& source);
  void OnAddListFile();
  void OnAddListAddress();
  void OnRemoveList();

  // The icons the rows show, one per browser.
  std::vector<ui::Icon> browser_icons_;
  // The tracker lists as the dialog shows them, OK stores their sources.
  std::vector<ListReport> m_arrLists;
};

// The text of "More info...".
extern const wchar_t kFilterHelpText[];
