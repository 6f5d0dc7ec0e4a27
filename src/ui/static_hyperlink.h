// A static text control drawn as a link (blue, underlined, hand cursor) that opens
// its target through the shell when clicked. The control needs SS_NOTIFY.
#pragma once

#include <windows.h>

#include <string>

namespace ui {

class CStaticHyperlink {
 public:
  CStaticHyperlink() = default;
  CStaticHyperlink(const CStaticHyperlink&) = delete;
  CStaticHyperlink& operator=(const CStaticHyperlink&) = delete;
  ~CStaticHyperlink();

  // Takes over the painting and cursor of an existing static control.
  void Attach(HWND control);
  HWND hwnd() const { return hwnd_; }

  // The target; when empty, a click opens the control's own text.
  void SetURL(const std::wstring& url) { m_strURL = url; }
  const std::wstring& url() const { return m_strURL; }

  // What a click does (the owner calls it on STN_CLICKED).
  void OnClicked();

 private:
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                                    UINT_PTR id, DWORD_PTR self) noexcept;
  void OnPaint();

  HWND hwnd_ = nullptr;
  std::wstring m_strURL;
};

}  // namespace ui
