// Tracker lists downloaded in the background, on the version check's machinery
// (CInternetWorker): one round asks, list after list, for each list whose last
// request is a day old or more (IsListDownloadDue), sending the ETag and
// Last-Modified of the copy it holds so that an unchanged list is not sent again.
// A list is written to a file of its own beside the copy and replaces the copy only
// when it reads as a list of at least one domain, so that a failed or damaged
// download keeps the last good copy; either way the outcome is kept in the list's
// state (run_filter.h). A list may take at most 64 MiB and the time cap.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "update/internet_worker.h"

// Posted to the window once at the end of a round: wParam the number of copies
// that were replaced, lParam 0.
inline constexpr unsigned kWmListDownload = 0x0400 + 2;  // WM_USER + 2

class CListDownload {
 public:
  CListDownload() = default;
  CListDownload(const CListDownload&) = delete;
  CListDownload& operator=(const CListDownload&) = delete;
  // Stops a running round.
  ~CListDownload();

  // Starts a round over the sources that are accepted list addresses
  // (IsAcceptedListAddress), in their order; returns false, posting nothing, when
  // there is none or no thread can start. REQUIRES: no round running.
  bool Start(const std::vector<std::wstring>& sources, HWND target);
  // The time cap, called by the owner while a round runs (a timer): when the list
  // being read has taken longer than the cap, the round is stopped as Stop() does,
  // the list's state says so and the end of the round is posted.
  void Poll();
  // Ends a running round (CInternetWorker::Stop); whatever the worker does after,
  // it writes no copy and no state, and posts nothing.
  void Stop();
  bool running() const { return worker_.running(); }

  void set_time_cap_ms(ULONGLONG ms) { time_cap_ms_ = ms; }
  static constexpr ULONGLONG kTimeCapMs = 5 * 60 * 1000;

  // What the worker shares with its owner.
  struct Round;

 private:
  std::shared_ptr<Round> round_;
  CInternetWorker worker_;
  ULONGLONG time_cap_ms_ = kTimeCapMs;
};
