// A thin layer over Win32 dialogs: one class per dialog template, messages
// dispatched to member functions, controls reached by their IDs.
//
// Every dialog is created from its template as a modeless window; a modal run is
// our own loop around it (the owner disabled meanwhile), so that a run can also
// stay invisible from start to end. No exception leaves a window procedure: the one
// procedure catches at that boundary and reports what it caught in a message box.
#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>

#include "ui/dpi.h"

namespace ui {

class Dialog {
 public:
  Dialog(int template_id, HWND parent);
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;
  // Destroys the window when it still exists.
  virtual ~Dialog();

  // Runs the dialog modally: creates it, shows it (unless `show` is false), keeps
  // its owner disabled and dispatches messages until EndDialog; then destroys it.
  // Returns the value given to EndDialog, or -1 when the window cannot be created.
  // A dialog that ends during OnInitDialog never enters the loop.
  INT_PTR DoModal(bool show = true);

  // Creates the dialog as a modeless window (not shown unless its template says
  // so). False when the window cannot be created.
  bool Create();
  // Destroys a window made by Create().
  void Destroy();

  // Ends the run with `result`: a modal loop returns it, a modeless window is
  // destroyed.
  void EndDialog(INT_PTR result);
  bool ended() const { return ended_; }
  INT_PTR result() const { return result_; }

  HWND hwnd() const { return hwnd_; }
  HWND Item(int id) const;
  std::wstring ItemText(int id) const;
  void SetItemText(int id, const std::wstring& text);
  bool IsChecked(int id) const;
  void SetChecked(int id, bool checked);
  void EnableItem(int id, bool enable);

  // The DPI of the monitor the window is on (kBaseDpi before it exists); it
  // follows WM_DPICHANGED.
  UINT dpi() const { return dpi_; }

 protected:
  // WM_INITDIALOG: TRUE lets the system put the focus on the first control.
  virtual BOOL OnInitDialog() { return TRUE; }
  // WM_COMMAND; true when handled. The default ends the dialog on IDOK and
  // IDCANCEL through OnOK and OnCancel.
  virtual bool OnCommand(int id, int code, HWND control);
  virtual void OnOK() { EndDialog(IDOK); }
  virtual void OnCancel() { EndDialog(IDCANCEL); }
  // Any other message: a value when handled (stored as the dialog's message
  // result), nothing to leave it to the default dialog processing.
  virtual std::optional<LRESULT> OnMessage(UINT message, WPARAM wparam, LPARAM lparam);
  // After the window has moved to a monitor of another DPI and its font, icons and
  // controls have been scaled: whatever else the dialog sizes in pixels.
  virtual void OnDpiChanged(UINT /*old_dpi*/) {}
  // True while WM_DPICHANGED moves and scales the window and its controls (which
  // are placed from where they were before it, whatever WM_SIZE did meanwhile).
  bool rescaling() const { return rescaling_; }

  // Sets the icon resource `id` as the window's big and small icon at its DPI (and
  // again at each new DPI).
  void SetWindowIcons(int id);

 private:
  static INT_PTR CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wparam,
                                    LPARAM lparam) noexcept;
  INT_PTR Dispatch(UINT message, WPARAM wparam, LPARAM lparam);
  // WM_DPICHANGED: takes the suggested rectangle and scales the font and every
  // control by new / old DPI.
  void ChangeDpi(UINT new_dpi, const RECT& suggested);
  void LoadWindowIcons();

  int template_id_;
  HWND parent_;
  HWND hwnd_ = nullptr;
  bool modal_ = false;
  bool ended_ = false;
  INT_PTR result_ = -1;
  UINT dpi_ = kBaseDpi;
  bool rescaling_ = false;
  int window_icon_ = 0;
  Icon big_icon_;
  Icon small_icon_;
  // The dialog font at the current DPI once the DPI has changed (the template's
  // font, owned by the system, before).
  struct FontDeleter {
    void operator()(HFONT font) const { DeleteObject(font); }
  };
  std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter> scaled_font_;
};

// The module that holds the dialog templates and icons.
HINSTANCE ResourceModule();

// A column of a report list view: its heading, alignment (LVCFMT_*) and width in
// pixels at 96 DPI.
struct ListColumn {
  const wchar_t* heading;
  int format;
  int width;
};

// Inserts the columns into the list view, in their order, widths scaled to `dpi`.
void AddListColumns(HWND list, const ListColumn* columns, size_t count, UINT dpi);

}  // namespace ui
