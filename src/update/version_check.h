// The background version check: one worker thread asks the update server and
// posts WM_VERSIONCHECK (kWmVersionCheck) to a window once, with the new build and
// a malloc'ed copy of the download address, or with 0 and 0.
#pragma once

#include <windows.h>

#include <string>

#include "update/internet_worker.h"
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
  // Ends a running check (CInternetWorker::Stop); a worker let go touches nothing
  // that belongs to this object or to the window.
  void Stop() { worker_.Stop(); }

  // The request address of the started check.
  const std::string& url() const { return url_; }

  // The fourth number of a version text ("3.1.4.59" gives 59); 0 without four.
  static uint32_t ParseBuild(const char* version) { return ::ParseBuild(version); }

  static constexpr DWORD kStopWaitMs = CInternetWorker::kStopWaitMs;

 private:
  std::string url_;
  CInternetWorker worker_;
};
