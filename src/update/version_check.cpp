#include "update/version_check.h"

#include <cstdlib>
#include <cstring>

#include "update/version_reply.h"

namespace {

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

// Asks the server once and posts the one result.
void RunCheck(CInternetWorker::Handles& handles, const std::string& url, HWND target,
              uint32_t current_build) {
  bool success = false;
  HINTERNET session = InternetOpenA(kUpdateAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (session != nullptr) {
    handles.session.store(session);
    HINTERNET request = InternetOpenUrlA(session, url.c_str(), nullptr, 0, INTERNET_FLAG_NO_UI, 0);
    if (request != nullptr) {
      handles.request.store(request);
      char buffer[1024];
      DWORD read = 0;
      if (InternetReadFile(request, buffer, 1023, &read) && read <= 1023) {
        buffer[read] = '\0';
        uint32_t build = 0;
        std::string address;
        if (CheckVersionReply(buffer, read, current_build, &build, &address)) {
          PostResult(target, build, _strdup(address.c_str()));
          success = true;
        }
      }
    }
  }
  if (!success) PostResult(target, 0, nullptr);
}

}  // namespace

CVersionCheck::~CVersionCheck() { Stop(); }

void CVersionCheck::Start(const char* host, const char* path, const char* product,
                          const char* version, HWND target) {
  url_ = FormatVersionCheckUrl(host, path, product, version, ReadOsInfo());
  const uint32_t current_build = ParseBuild(version);
  const bool started = worker_.Start([url = url_, target, current_build](CInternetWorker::Handles& handles) {
    RunCheck(handles, url, target, current_build);
  });
  if (!started) PostResult(target, 0, nullptr);
}
