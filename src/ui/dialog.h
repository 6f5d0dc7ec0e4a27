// A thin layer over Win32 dialogs: one class per dialog template, messages
// dispatched to member functions, controls reached by their IDs.
//
// Every dialog is created from its template as a modeless window; a modal run is
// our own loop around it (the owner disabled meanwhile), so that a run can also
// stay invisible from start to end. No exception leaves a window procedure: the one
// procedure catches at that boundary and reports what it caught in a message box.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

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

 private:
  static INT_PTR CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wparam,
                                    LPARAM lparam) noexcept;
  INT_PTR Dispatch(UINT message, WPARAM wparam, LPARAM lparam);

  int template_id_;
  HWND parent_;
  HWND hwnd_ = nullptr;
  bool modal_ = false;
  bool ended_ = false;
  INT_PTR result_ = -1;
};

// The module that holds the dialog templates and icons.
HINSTANCE ResourceModule();

// An icon resource at a given size (0: the system's large icon size); null when it
// cannot be loaded. Shared icons must not be destroyed.
HICON LoadSharedIcon(int id, int size = 0);

}  // namespace ui
