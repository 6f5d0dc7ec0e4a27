// The details dialog: every evil item a fresh scan finds, one row each, with its
// browser's icon, site, expiry, name, value and the rule that made it evil.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "scan/scanner.h"
#include "ui/resizing_dialog.h"

class CtrackscrubDlg : public ui::CResizingDialog {
 public:
  static constexpr int kColumns = 6;

  explicit CtrackscrubDlg(HWND parent = nullptr);

  // Scans and fills the list; always TRUE.
  BOOL FillList();
  // Replaces the rows with the items of one scan, group by group.
  void ShowItems(const CScanLists& lists);
  // Takes each column's width in thousandths of the list's outer width.
  void RememberColumnRatios();

  const int* column_ratios() const { return m_nColumnRatio; }

 protected:
  BOOL OnInitDialog() override;
  std::optional<LRESULT> OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnDpiChanged(UINT old_dpi) override;

 private:
  void AddGroup(const std::vector<const CCookie*>& items, int image);
  void OnHeaderEndTrack(const NMHEADERW& header);
  // Gives the list the browsers' icons at the small-icon size of the window's DPI.
  void SetImages();
  // Columns 1 to 5 take their proportions of the list's width.
  void ApplyColumnRatios();

  int m_nColumnRatio[kColumns] = {};
};
