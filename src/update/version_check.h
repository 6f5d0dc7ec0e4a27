// The background version check: one worker thread asks the update server and
// posts WM_VERSIONCHECK (kWmVersionCheck) to a window once, with the new build and
// a malloc'ed copy of the download address, or with 0 and 0.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "update/version_reply.h"

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

  // The fourth number of a version text ("3.1.4.59" gives 59); 0 without four.
  static uint32_t ParseBuild(const char* version) { return ::ParseBuild(version); }

  static constexpr DWORD kStopWaitMs = 1500;

  // The state the worker shares with its owner.
  struct Shared;

 private:
  // The worker's body: asks the server once and posts the one result. It holds its
  // own reference to the shared state, so it outlives a Stop that stopped waiting.
  static void Run(const std::shared_ptr<Shared>& shared);
  static unsigned __stdcall ThreadRoutine(void* argument);

  std::shared_ptr<Shared> shared_;
  HANDLE thread_ = nullptr;
};
