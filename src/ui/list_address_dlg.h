// Asks for the address of a tracker list to download.
#pragma once

#include <windows.h>

#include <string>

#include "ui/dialog.h"

class CListAddressDlg : public ui::Dialog {
 public:
  explicit CListAddressDlg(HWND parent = nullptr);

  // After OK: the address as typed, without surrounding blanks.
  const std::wstring& address() const { return m_strAddress; }

 protected:
  // Ends with IDOK only for an address the program downloads from
  // (IsAcceptedListAddress); otherwise says why and stays open.
  void OnOK() override;

 private:
  std::wstring m_strAddress;
};
