#include "update/internet_worker.h"

#include <process.h>

namespace {

void CloseTaken(std::atomic<HINTERNET>& handle) {
  HINTERNET taken = handle.exchange(nullptr);
  if (taken != nullptr) InternetCloseHandle(taken);
}

}  // namespace

void CInternetWorker::Handles::CloseRequest() { CloseTaken(request); }

void CInternetWorker::Handles::CloseSession() { CloseTaken(session); }

unsigned __stdcall CInternetWorker::ThreadRoutine(void* argument) {
  // The thread's own reference: the state outlives a Stop that stopped waiting.
  std::unique_ptr<std::shared_ptr<State>> state(static_cast<std::shared_ptr<State>*>(argument));
  (*state)->body((*state)->handles);
  (*state)->handles.CloseRequest();
  (*state)->handles.CloseSession();
  return 0;
}

CInternetWorker::~CInternetWorker() { Stop(); }

bool CInternetWorker::Start(Body body) {
  Stop();
  state_ = std::make_shared<State>();
  state_->body = std::move(body);
  auto* argument = new std::shared_ptr<State>(state_);
  const uintptr_t thread = _beginthreadex(nullptr, 0, ThreadRoutine, argument, 0, nullptr);
  if (thread == 0) {
    delete argument;
    return false;
  }
  thread_ = reinterpret_cast<HANDLE>(thread);
  return true;
}

void CInternetWorker::Stop() {
  if (thread_ == nullptr) return;
  state_->handles.CloseRequest();
  state_->handles.CloseSession();
  WaitForSingleObject(thread_, kStopWaitMs);
  CloseHandle(thread_);
  thread_ = nullptr;
}

bool CInternetWorker::running() const {
  return thread_ != nullptr && WaitForSingleObject(thread_, 0) == WAIT_TIMEOUT;
}
