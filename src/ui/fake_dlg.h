// The automatic run (/auto): an invisible dialog that cleans when a clean is due and
// reports a non-zero count, and the running browsers that kept their cookie
// databases, with a notification-area balloon.
#pragma once

#include <windows.h>

#include <vector>

#include "scan/scanner.h"

#include "ui/dialog.h"
#include "ui/dpi.h"

class CFakeDlg : public ui::Dialog {
 public:
  // How long the run waits for the shell to report the balloon's end: the
  // balloon's display time, after which the run ends on its own.
  static constexpr UINT kDefaultBalloonWaitMs = 30000;

  CFakeDlg();

  // Runs the whole automatic mode, invisible; returns when it is over.
  INT_PTR DoModal() { return Dialog::DoModal(false); }

  // The callback message of the notification icon ("Trackscrub.Notify").
  UINT notify_message() const { return notify_message_; }
  void set_balloon_wait_ms(UINT ms) { balloon_wait_ms_ = ms; }

  void RemoveTrayIcon();

 protected:
  BOOL OnInitDialog() override;
  std::optional<LRESULT> OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  // Adds the icon and its balloon; false when the shell refused the icon.
  bool ShowBalloon(int removed, const std::vector<HeldBrowserStore>& held);
  void OnNotify(LPARAM lparam);

  UINT notify_message_;
  UINT balloon_wait_ms_ = kDefaultBalloonWaitMs;
  bool icon_added_ = false;
  // What the notification area shows, kept until the icon is removed.
  ui::Icon tray_icon_;
};
