#include "update/list_download.h"

#include <cstdint>
#include <mutex>

#include "app/run_filter.h"
#include "model/tracker_list.h"
#include "platform/platform.h"

struct CListDownload::Round {
  struct Job {
    std::wstring address;
    std::wstring copy;
  };
  std::vector<Job> jobs;
  std::wstring folder;
  HWND target = nullptr;
  // Guards the fields below and every write of a copy or a state; the worker never
  // holds it across a call to the server.
  std::mutex lock;
  bool stopped = false;
  bool posted = false;
  int replaced = 0;
  size_t current = SIZE_MAX;  // the job being read, if any
  ULONGLONG started = 0;      // when it began (GetTickCount64)
};

namespace {

constexpr char kListAgent[] = "Trackscrub list download";
constexpr DWORD kReadChunk = 64 * 1024;

// Posts the end of the round, once. REQUIRES: round.lock held.
void PostEnd(CListDownload::Round& round) {
  if (round.posted) return;
  round.posted = true;
  PostMessageW(round.target, kWmListDownload, static_cast<WPARAM>(round.replaced), 0);
}

std::string HeaderText(HINTERNET request, DWORD query) {
  char buffer[1024];
  DWORD size = sizeof buffer;
  if (!HttpQueryInfoA(request, query, buffer, &size, nullptr) || size >= sizeof buffer) return "";
  return std::string(buffer, size);
}

// True when a Content-Length header says the list is larger than a list may be.
bool AnnouncedTooLarge(HINTERNET request) {
  const std::string length = HeaderText(request, HTTP_QUERY_CONTENT_LENGTH);
  uint64_t value = 0;
  for (const char c : length) {
    if (c < '0' || c > '9') return false;
    if (value > kMaxListFileBytes) return true;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  return value > kMaxListFileBytes;
}

// What one request gave.
struct Fetched {
  bool ok = false;       // a new list is in the temporary file, or the copy is current
  bool changed = false;  // a new list is in the temporary file
  std::string etag;
  std::string last_modified;
  std::wstring failure;
};

// Reads the rest of the answer into `temp`; the reason when it cannot.
std::wstring ReceiveInto(HINTERNET request, const std::wstring& temp) {
  platform::RemoveFile(temp);  // left by a download that never ended
  platform::File file = platform::File::CreateNew(temp);
  if (!file.is_open()) return L"the list could not be saved";
  std::vector<char> buffer(kReadChunk);
  uint64_t total = 0;
  for (;;) {
    DWORD got = 0;
    if (!InternetReadFile(request, buffer.data(), kReadChunk, &got)) return L"the download was cut short";
    if (got == 0) break;
    total += got;
    if (total > kMaxListFileBytes) return L"the list is larger than 64 MiB";
    if (!file.Write(buffer.data(), got)) return L"the list could not be saved";
  }
  if (!file.Flush() || !file.Close()) return L"the list could not be saved";
  return L"";
}

Fetched Fetch(CInternetWorker::Handles& handles, const std::wstring& address, const std::wstring& copy,
              const ListDownloadState& state) {
  Fetched result;
  const bool have_copy = platform::FileExists(copy);
  std::wstring headers;
  if (have_copy && !state.etag.empty()) headers += L"If-None-Match: " + platform::WideFromUtf8(state.etag) + L"\r\n";
  if (have_copy && !state.last_modified.empty()) {
    headers += L"If-Modified-Since: " + platform::WideFromUtf8(state.last_modified) + L"\r\n";
  }
  const DWORD flags = INTERNET_FLAG_NO_UI | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                      INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_AUTH;
  HINTERNET request = InternetOpenUrlW(handles.session.load(), address.c_str(),
                                       headers.empty() ? nullptr : headers.c_str(),
                                       headers.empty() ? 0 : static_cast<DWORD>(-1), flags, 0);
  if (request == nullptr) {
    result.failure = L"the server could not be reached (error " + std::to_wstring(GetLastError()) + L")";
    return result;
  }
  handles.request.store(request);
  DWORD status = 0;
  DWORD size = sizeof status;
  if (!HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) {
    status = 0;
  }
  if (status == HTTP_STATUS_NOT_MODIFIED && have_copy) {
    result.ok = true;
    result.etag = state.etag;
    result.last_modified = state.last_modified;
    return result;
  }
  if (status != HTTP_STATUS_OK) {
    result.failure = L"the server answered " + std::to_wstring(status);
    return result;
  }
  if (AnnouncedTooLarge(request)) {
    result.failure = L"the list is larger than 64 MiB";
    return result;
  }
  const std::wstring temp = copy + L".download";
  result.failure = ReceiveInto(request, temp);
  CTrackerList list;
  const ListFileError error = result.failure.empty() ? LoadTrackerList(temp, address, &list) : ListFileError::kNone;
  if (error != ListFileError::kNone) result.failure = L"the download " + ListFileErrorText(error);
  if (!result.failure.empty()) {
    platform::RemoveFile(temp);
    return result;
  }
  result.ok = result.changed = true;
  result.etag = HeaderText(request, HTTP_QUERY_ETAG);
  result.last_modified = HeaderText(request, HTTP_QUERY_LAST_MODIFIED);
  return result;
}

void RunRound(CInternetWorker::Handles& handles, const std::shared_ptr<CListDownload::Round>& round) {
  // The folder of the copies, with the folders above it that are missing.
  for (size_t at = round->folder.find(L'\\'); at != std::wstring::npos; at = round->folder.find(L'\\', at + 1)) {
    CreateDirectoryW(round->folder.substr(0, at).c_str(), nullptr);
  }
  CreateDirectoryW(round->folder.c_str(), nullptr);
  handles.session.store(InternetOpenA(kListAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  for (size_t i = 0; i < round->jobs.size(); ++i) {
    const CListDownload::Round::Job& job = round->jobs[i];
    ListDownloadState state = ReadListDownloadState(job.copy);
    const uint64_t now = platform::GetSystemTimeAsFileTime();
    if (!IsListDownloadDue(state, now)) continue;
    {
      const std::lock_guard<std::mutex> hold(round->lock);
      if (round->stopped) return;
      round->current = i;
      round->started = GetTickCount64();
    }
    const Fetched fetched = Fetch(handles, job.address, job.copy, state);
    handles.CloseRequest();
    const std::lock_guard<std::mutex> hold(round->lock);
    const std::wstring temp = job.copy + L".download";
    if (round->stopped) {  // the owner has spoken for this list
      if (fetched.changed) platform::RemoveFile(temp);
      return;
    }
    round->current = SIZE_MAX;
    state.checked = now;
    state.failure = fetched.failure;
    if (fetched.changed && !platform::MoveReplace(temp, job.copy)) {
      platform::RemoveFile(temp);
      state.failure = L"the list could not be saved";
    } else if (fetched.ok) {
      state.confirmed = now;
      state.etag = fetched.etag;
      state.last_modified = fetched.last_modified;
      if (fetched.changed) ++round->replaced;
    }
    WriteListDownloadState(job.copy, state);
  }
  const std::lock_guard<std::mutex> hold(round->lock);
  if (!round->stopped) PostEnd(*round);
}

}  // namespace

CListDownload::~CListDownload() { Stop(); }

bool CListDownload::Start(const std::vector<std::wstring>& sources, HWND target) {
  auto round = std::make_shared<Round>();
  round->target = target;
  for (const std::wstring& source : sources) {
    std::wstring copy;
    if (IsAcceptedListAddress(source) && ListCopyPath(source, &copy)) round->jobs.push_back({source, copy});
  }
  if (round->jobs.empty() || !ListCopyFolder(&round->folder)) return false;
  round_ = round;
  return worker_.Start([round](CInternetWorker::Handles& handles) { RunRound(handles, round); });
}

void CListDownload::Poll() {
  if (round_ == nullptr || !running()) return;
  {
    const std::lock_guard<std::mutex> hold(round_->lock);
    if (round_->stopped || round_->current == SIZE_MAX ||
        GetTickCount64() - round_->started < time_cap_ms_) {
      return;
    }
    round_->stopped = true;
    const std::wstring& copy = round_->jobs[round_->current].copy;
    ListDownloadState state = ReadListDownloadState(copy);
    state.checked = platform::GetSystemTimeAsFileTime();
    state.failure = L"the download took longer than " + std::to_wstring(time_cap_ms_ / 1000) + L" seconds";
    WriteListDownloadState(copy, state);
    PostEnd(*round_);
  }
  worker_.Stop();
}

void CListDownload::Stop() {
  if (round_ != nullptr) {
    const std::lock_guard<std::mutex> hold(round_->lock);
    round_->stopped = true;
  }
  worker_.Stop();
}
