#include "update/version_check.h"

#include <process.h>
#include <wininet.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "update/version_reply.h"

struct CVersionCheck::Shared {
  std::string url;
  HWND target = nullptr;
  uint32_t current_build = 0;
  // Each Internet handle is closed by whoever takes it out of its field first.
  std::atomic<HINTERNET> session{nullptr};
  std::atomic<HINTERNET> request{nullptr};
};

namespace {

void CloseTaken(std::atomic<HINTERNET>& handle) {
  HINTERNET taken = handle.exchange(nullptr);
  if (taken != nullptr) InternetCloseHandle(taken);
}

// Posts the result; a copy that cannot be delivered (the window is gone) is freed.
void PostResult(HWND target, uint32_t build, char* address) {
  if (!PostMessageW(target, kWmVersionCheck, build, reinterpret_cast<LPARAM>(address))) {
    std::free(address);
  }
}

OsInfo ReadOsInfo() {
  OsInfo os;
  OSVERSIONINFOEXA version;
  ZeroMemory(&version, sizeof version);
  version.dwOSVersionInfoSize = sizeof version;  // 156 bytes
  if (GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version))) {
    os.major = static_cast<int>(version.dwMajorVersion);
    os.minor = static_cast<int>(version.dwMinorVersion);
    os.build = static_cast<int>(version.dwBuildNumber);
    os.service_pack_major = version.wServicePackMajor;
    os.service_pack_minor = version.wServicePackMinor;
  }
  SYSTEM_INFO system;
  ZeroMemory(&system, sizeof system);
  GetNativeSystemInfo(&system);
  os.processors = static_cast<int>(system.dwNumberOfProcessors);
  os.architecture = system.wProcessorArchitecture;
  return os;
}

}  // namespace

void CVersionCheck::Run(const std::shared_ptr<Shared>& shared) {
  bool success = false;
  HINTERNET session = InternetOpenA(kUpdateAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (session != nullptr) {
    shared->session.store(session);
    HINTERNET request = InternetOpenUrlA(session, shared->url.c_str(), nullptr, 0,
                                         INTERNET_FLAG_NO_UI, 0);
    if (request != nullptr) {
      shared->request.store(request);
      char buffer[1024];
      DWORD read = 0;
      if (InternetReadFile(request, buffer, 1023, &read) && read <= 1023) {
        buffer[read] = '\0';
        uint32_t build = 0;
        std::string address;
        if (CheckVersionReply(buffer, read, shared->current_build, &build, &address)) {
          PostResult(shared->target, build, _strdup(address.c_str()));
          success = true;
        }
      }
    }
    CloseTaken(shared->request);
    CloseTaken(shared->session);
  }
  if (!success) PostResult(shared->target, 0, nullptr);
}

unsigned __stdcall CVersionCheck::ThreadRoutine(void* argument) {
  std::unique_ptr<std::shared_ptr<Shared>> shared(static_cast<std::shared_ptr<Shared>*>(argument));
  Run(*shared);
  return 0;
}

CVersionCheck::~CVersionCheck() { Stop(); }

void CVersionCheck::Start(const char* host, const char* path, const char* product,
                          const char* version, HWND target) {
  shared_ = std::make_shared<Shared>();
  shared_->target = target;
  shared_->current_build = ParseBuild(version);
  shared_->url = FormatVersionCheckUrl(host, path, product, version, ReadOsInfo());
  auto* argument = new std::shared_ptr<Shared>(shared_);
  const uintptr_t thread = _beginthreadex(nullptr, 0, ThreadRoutine, argument, 0, nullptr);
  if (thread == 0) {
    delete argument;
    PostResult(target, 0, nullptr);
    return;
  }
  thread_ = reinterpret_cast<HANDLE>(thread);
}

void CVersionCheck::Stop() {
  if (thread_ == nullptr) return;
  CloseTaken(shared_->request);
  CloseTaken(shared_->session);
  WaitForSingleObject(thread_, kStopWaitMs);
  CloseHandle(thread_);
  thread_ = nullptr;
}

std::string CVersionCheck::url() const { return shared_ ? shared_->url : std::string(); }
