// The background version check: one worker thread asks the update server and
// posts WM_VERSIONCHECK (kWmVersionCheck) to a window once, with the new build and
// a malloc'ed copy of the download address, or with 0 and 0.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

class CVersionCheck {
 public:
  CVersionCheck() = default;
  CVersionCheck(const CVersionCheck&) = delete;
  CVersionCheck& operator=(const CVersionCheck&) = delete;
  // Stops the check.
  ~CVersionCheck();

  // Builds the request address and starts the worker. Called once.
  void Start(const char* host, const char* path, const char* product, const char* version,
             HWND target);
  // Ends a running check: closes the worker's Internet handles so that a blocked
  // call returns, then waits for the worker, but not for ever: where closing a
  // handle does not cut a blocked read short, the worker is let go after
  // kStopWaitMs and finishes on its own, touching nothing that belongs to this
  // object or to the window.
  void Stop();

  // The request address of the started check.
  std::string url() const;

  static constexpr DWORD kStopWaitMs = 1500;

  // The state the worker shares with its owner; public for the thread routine.
  struct Shared;

 private:
  std::shared_ptr<Shared> shared_;
  HANDLE thread_ = nullptr;
};
