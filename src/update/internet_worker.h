// One background thread that talks to a server through WinINet, and the one way to
// end it that holds where closing a handle does not cut a blocked read short.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <functional>
#include <memory>

class CInternetWorker {
 public:
  // The Internet handles the thread keeps open, shared with its owner: each is
  // closed by whoever takes it out of its field first.
  struct Handles {
    std::atomic<HINTERNET> session{nullptr};
    std::atomic<HINTERNET> request{nullptr};
    void CloseRequest();
    void CloseSession();
  };
  using Body = std::function<void(Handles& handles)>;

  CInternetWorker() = default;
  CInternetWorker(const CInternetWorker&) = delete;
  CInternetWorker& operator=(const CInternetWorker&) = delete;
  // Stops the worker.
  ~CInternetWorker();

  // Stops the body before, then runs `body` on a thread of its own. The body must
  // own whatever it uses
  // (capture by value): a stopped worker may finish after its owner has gone.
  // False, with nothing run, when no thread can be started.
  bool Start(Body body);
  // Closes the worker's Internet handles so that a blocked call returns, then waits
  // for the thread, but not for ever: where closing a handle does not cut a blocked
  // read short, the thread is let go after kStopWaitMs and finishes on its own.
  void Stop();
  // True from Start until the body has returned.
  bool running() const;

  static constexpr DWORD kStopWaitMs = 1500;

 private:
  struct State {
    Handles handles;
    Body body;
  };
  static unsigned __stdcall ThreadRoutine(void* argument);

  std::shared_ptr<State> state_;
  HANDLE thread_ = nullptr;
};
