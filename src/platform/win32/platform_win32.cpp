// The seam on Windows: the calls the program is specified against, wide forms only.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <ctime>

#include "platform/common.h"
#include "platform/platform.h"

namespace platform {
namespace {

int Csidl(KnownFolder folder) {
  switch (folder) {
    case KnownFolder::Cookies:
      return CSIDL_COOKIES;
    case KnownFolder::AppData:
      return CSIDL_APPDATA;
    case KnownFolder::LocalAppData:
      return CSIDL_LOCAL_APPDATA;
    case KnownFolder::Profile:
      return CSIDL_PROFILE;
  }
  return CSIDL_PROFILE;
}

HANDLE ToHandle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// A find handle, closed with FindClose.
class FindHandle {
 public:
  explicit FindHandle(HANDLE handle) : handle_(handle) {}
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  ~FindHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
  }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

REGSAM Sam(RegAccess access) { return access == RegAccess::kRead ? KEY_READ : KEY_WRITE; }

FILETIME ToFileTime(uint64_t value) {
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(value & 0xFFFFFFFFu);
  ft.dwHighDateTime = static_cast<DWORD>(value >> 32);
  return ft;
}

uint64_t FromFileTime(const FILETIME& ft) {
  return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

}  // namespace

// ---- Known folders

bool GetKnownFolder(KnownFolder folder, std::wstring* path) {
  path->clear();
  if (!GetProfileRoot().empty()) return KnownFolderUnderRoot(folder, path);
  wchar_t buffer[MAX_PATH] = {};
  if (SHGetFolderPathW(nullptr, Csidl(folder), nullptr, 0, buffer) != S_OK) return false;
  *path = buffer;
  return !path->empty();
}

// ---- Files and folders

bool FindFiles(const std::wstring& pattern, std::vector<FindEntry>* entries) {
  entries->clear();
  WIN32_FIND_DATAW data;
  FindHandle find(FindFirstFileW(pattern.c_str(), &data));
  if (find.get() == INVALID_HANDLE_VALUE) return false;
  do {
    const std::wstring name = data.cFileName;
    const bool dot = name == L"." || name == L"..";
    if ((data.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) != 0 ||
        (!dot && !IsWindowsName(name))) {
      continue;
    }
    entries->push_back(FindEntry{name, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  } while (FindNextFileW(find.get(), &data));
  return !entries->empty();
}

bool IsLinkOrReparsePoint(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool FileExists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DirectoryExists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool FileInUse(const std::wstring& path) {
  HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle != INVALID_HANDLE_VALUE) {
    CloseHandle(handle);
    return false;
  }
  const DWORD error = GetLastError();
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

uint32_t LinkCount(const std::wstring& path) {
  // Asking for attributes only does not conflict with any program's sharing mode.
  HANDLE handle = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return 0;
  BY_HANDLE_FILE_INFORMATION info;
  const bool known = GetFileInformationByHandle(handle, &info) != FALSE;
  CloseHandle(handle);
  return known ? info.nNumberOfLinks : 0;
}

bool RemoveFile(const std::wstring& path) { return DeleteFileW(path.c_str()) != FALSE; }

namespace {

// Removes a symbolic link or junction itself, never what it points to.
bool RemoveLink(const std::wstring& path, DWORD attributes) {
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? RemoveDirectoryW(path.c_str()) != FALSE
                                                      : DeleteFileW(path.c_str()) != FALSE;
}

// Removes every link and junction inside `folder` (without entering them), so that
// the shell's delete that follows cannot reach anything outside the folder.
bool RemoveLinksBelow(const std::wstring& folder) {
  WIN32_FIND_DATAW data;
  FindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &data));
  if (find.get() == INVALID_HANDLE_VALUE) return true;
  bool ok = true;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring child = folder + L"\\" + name;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      ok = RemoveLink(child, data.dwFileAttributes) && ok;
    } else if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      ok = RemoveLinksBelow(child) && ok;
    }
  } while (FindNextFileW(find.get(), &data));
  return ok;
}

}  // namespace

int ShellDelete(const std::wstring& path) {
  // The shell would read "*" and "?" as wildcards and delete whatever they match.
  if (path.find_first_of(L"*?") != std::wstring::npos) return ERROR_INVALID_NAME;
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    return RemoveLink(path, attributes) ? 0 : static_cast<int>(GetLastError());
  }
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
      !RemoveLinksBelow(path)) {
    return ERROR_CANT_ACCESS_FILE;
  }
  std::wstring from = path;
  from.push_back(L'\0');  // the list ends with two NULs; c_str() adds the second
  SHFILEOPSTRUCTW operation = {};
  operation.hwnd = nullptr;
  operation.wFunc = FO_DELETE;
  operation.pFrom = from.c_str();
  operation.fFlags = 0x614;  // FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI
  const int result = SHFileOperationW(&operation);
  if (result == 0 && operation.fAnyOperationsAborted) return ERROR_CANCELLED;
  return result;
}

namespace {

FileIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& info) {
  FileIdentity identity;
  identity.volume = info.dwVolumeSerialNumber;
  identity.file = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  identity.size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  identity.modified = static_cast<int64_t>(FromFileTime(info.ftLastWriteTime));
  return identity;
}

// The entry at `path` itself, opened only to ask about it: asking for no read,
// write or delete access, the open is never refused by another handle's sharing.
bool QueryPath(const std::wstring& path, BY_HANDLE_FILE_INFORMATION* info) {
  HANDLE handle = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
                              nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool ok = GetFileInformationByHandle(handle, info) != FALSE;
  CloseHandle(handle);
  return ok;
}

}  // namespace

bool GetPathIdentity(const std::wstring& path, FileIdentity* identity) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!QueryPath(path, &info)) return false;
  *identity = IdentityOf(info);
  return true;
}

bool PathStillNames(const std::wstring& path, const FileIdentity& identity) {
  BY_HANDLE_FILE_INFORMATION info;
  return QueryPath(path, &info) &&
         (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
         IdentityOf(info) == identity;
}

bool MoveReplaceIfUnchanged(const std::wstring& source, const std::wstring& target,
                            const FileIdentity& read) {
  RunReplaceHook(target);
  // MoveFileExW cannot replace a file that a handle without delete sharing holds,
  // so the reader's handle is closed before this: the check stands alone, and a
  // change in the moment between it and the move is not seen.
  return PathStillNames(target, read) && MoveReplace(source, target);
}

bool MoveReplace(const std::wstring& source, const std::wstring& target) {
  return MoveFileExW(source.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

std::string PathForSqlite(const std::wstring& path) { return Utf8FromWide(path); }

namespace {

// Opens a file on disk for reading, the link or reparse point itself rather than
// what it points to; INVALID_HANDLE_VALUE for a link, a folder, a device or a pipe.
HANDLE OpenRegularForRead(const std::wstring& path, DWORD access, DWORD share_mode) {
  HANDLE handle = CreateFileW(path.c_str(), access, share_mode, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return handle;
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY |
                                FILE_ATTRIBUTE_DEVICE)) != 0) {
    CloseHandle(handle);
    return INVALID_HANDLE_VALUE;
  }
  return handle;
}

}  // namespace

File File::OpenForRead(const std::wstring& path, Share share) {
  File file;
  const DWORD share_mode = share == Share::kDenyNone
                               ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE
                               : FILE_SHARE_READ;
  const DWORD access = share == Share::kDenyWriteAndDelete ? GENERIC_READ | DELETE : GENERIC_READ;
  HANDLE handle = OpenRegularForRead(path, access, share_mode);
  if (handle != INVALID_HANDLE_VALUE) file.handle_ = reinterpret_cast<intptr_t>(handle);
  return file;
}

File File::CreateNew(const std::wstring& path) {
  File file;
  HANDLE handle = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle != INVALID_HANDLE_VALUE) file.handle_ = reinterpret_cast<intptr_t>(handle);
  return file;
}

bool File::is_open() const { return handle_ != -1; }

bool File::Read(void* buffer, size_t size, size_t* got) {
  *got = 0;
  if (handle_ == -1) return false;
  DWORD read = 0;
  const DWORD want = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
  if (!ReadFile(ToHandle(handle_), buffer, want, &read, nullptr)) return false;
  *got = read;
  return true;
}

bool File::Write(const void* data, size_t size) {
  if (handle_ == -1) return false;
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(ToHandle(handle_), bytes, chunk, &written, nullptr) || written == 0) {
      return false;
    }
    bytes += written;
    size -= written;
  }
  return true;
}

bool File::Flush() { return handle_ != -1 && FlushFileBuffers(ToHandle(handle_)) != FALSE; }

bool File::GetIdentity(FileIdentity* identity) const {
  BY_HANDLE_FILE_INFORMATION info;
  if (handle_ == -1 || !GetFileInformationByHandle(ToHandle(handle_), &info)) return false;
  *identity = IdentityOf(info);
  return true;
}

bool File::RemoveIfUnchanged(const std::wstring& path, const FileIdentity& read) {
  RunReplaceHook(path);
  FileIdentity now;
  if (!GetIdentity(&now) || !(now == read) || !PathStillNames(path, read)) {
    Close();
    return false;
  }
  // Through the handle: a handle opened without DELETE access is refused, and the
  // path is deleted instead.
  FILE_DISPOSITION_INFO disposition = {};
  disposition.DeleteFile = TRUE;
  const bool through_handle = SetFileInformationByHandle(ToHandle(handle_), FileDispositionInfo,
                                                         &disposition, sizeof disposition) != FALSE;
  const bool closed = Close();
  return through_handle ? closed : DeleteFileW(path.c_str()) != FALSE;
}

bool File::Close() {
  if (handle_ == -1) return true;
  const BOOL ok = CloseHandle(ToHandle(handle_));
  handle_ = -1;
  return ok != FALSE;
}

// ---- Mapped files

bool MappedFile::Open(const std::wstring& path) {
  Close();
  HANDLE file = OpenRegularForRead(path, GENERIC_READ, FILE_SHARE_READ);
  if (file == INVALID_HANDLE_VALUE) return false;
  file_ = reinterpret_cast<intptr_t>(file);
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file, &size) || size.QuadPart < 0) {
    Close();
    return false;
  }
  // An empty file cannot be mapped: it opens with nothing to read.
  if (size.QuadPart > 0) {
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (mapping == nullptr) {
      Close();
      return false;
    }
    mapping_ = reinterpret_cast<intptr_t>(mapping);
    const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    if (view == nullptr) {
      Close();
      return false;
    }
    data_ = static_cast<const uint8_t*>(view);
  }
  size_ = static_cast<uint64_t>(size.QuadPart);
  open_ = true;
  return true;
}

void MappedFile::Close() {
  if (data_ != nullptr) UnmapViewOfFile(data_);
  if (mapping_ != 0) CloseHandle(ToHandle(mapping_));
  if (file_ != -1) CloseHandle(ToHandle(file_));
  open_ = false;
  data_ = nullptr;
  size_ = 0;
  file_ = -1;
  mapping_ = 0;
}

// ---- Registry

long RegKey::Create(const std::wstring& subkey, RegAccess access, RegKey* key) {
  key->Close();
  HKEY handle = nullptr;
  const LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, RegistryPath(subkey).c_str(), 0, nullptr,
                                         REG_OPTION_NON_VOLATILE, Sam(access), nullptr, &handle,
                                         nullptr);
  if (status == ERROR_SUCCESS) key->handle_ = handle;
  return status;
}

long RegKey::Open(const std::wstring& subkey, RegAccess access, RegKey* key) {
  key->Close();
  HKEY handle = nullptr;
  const LSTATUS status = RegOpenKeyExW(HKEY_CURRENT_USER, RegistryPath(subkey).c_str(), 0, Sam(access), &handle);
  if (status == ERROR_SUCCESS) key->handle_ = handle;
  return status;
}

bool RegKey::is_open() const { return handle_ != nullptr; }

long RegKey::QueryValue(const std::wstring& name, uint32_t* type, uint8_t* data,
                        uint32_t* size) const {
  DWORD value_type = 0;
  DWORD value_size = size != nullptr ? *size : 0;
  const LSTATUS status = RegQueryValueExW(static_cast<HKEY>(handle_), name.c_str(), nullptr,
                                          &value_type, data, size != nullptr ? &value_size : nullptr);
  if (type != nullptr) *type = value_type;
  if (size != nullptr) *size = value_size;
  return status;
}

long RegKey::SetValue(const std::wstring& name, uint32_t type, const uint8_t* data,
                      uint32_t size) {
  return RegSetValueExW(static_cast<HKEY>(handle_), name.c_str(), 0, type, data, size);
}

long RegKey::DeleteValue(const std::wstring& name) {
  return RegDeleteValueW(static_cast<HKEY>(handle_), name.c_str());
}

void RegKey::Close() {
  if (handle_ != nullptr) RegCloseKey(static_cast<HKEY>(handle_));
  handle_ = nullptr;
}

long RegDeleteKeyTree(const std::wstring& subkey) {
  return RegDeleteTreeW(HKEY_CURRENT_USER, RegistryPath(subkey).c_str());
}

// ---- INI files

std::wstring FoldCase(const std::wstring& text) {
  std::wstring folded = text;
  if (!folded.empty()) CharUpperBuffW(folded.data(), static_cast<DWORD>(folded.size()));
  return folded;
}

// ---- Time

uint64_t GetSystemTimeAsFileTime() {
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  return FromFileTime(now);
}

bool FileTimeToLocalFileTime(uint64_t utc, uint64_t* local) {
  const FILETIME in = ToFileTime(utc);
  FILETIME out;
  if (!::FileTimeToLocalFileTime(&in, &out)) return false;
  *local = FromFileTime(out);
  return true;
}

bool FileTimeToSystemTime(uint64_t filetime, SystemTime* st) {
  const FILETIME in = ToFileTime(filetime);
  SYSTEMTIME out;
  if (!::FileTimeToSystemTime(&in, &out)) return false;
  st->year = out.wYear;
  st->month = out.wMonth;
  st->day_of_week = out.wDayOfWeek;
  st->day = out.wDay;
  st->hour = out.wHour;
  st->minute = out.wMinute;
  st->second = out.wSecond;
  st->milliseconds = out.wMilliseconds;
  return true;
}

int64_t MakeCalendarTime(const SystemTime& local) {
  struct tm parts = {};
  parts.tm_year = local.year - 1900;
  parts.tm_mon = local.month - 1;
  parts.tm_mday = local.day;
  parts.tm_hour = local.hour;
  parts.tm_min = local.minute;
  parts.tm_sec = local.second;
  parts.tm_isdst = -1;
  return static_cast<int64_t>(_mktime64(&parts));
}

int64_t CurrentCalendarTime() { return static_cast<int64_t>(_time64(nullptr)); }

// ---- Text

void UseUtf8Console() { SetConsoleOutputCP(CP_UTF8); }

bool StandardErrorIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != FALSE;
}

std::wstring WideFromAnsi(const std::string& bytes) {
  if (bytes.empty()) return std::wstring();
  const int length = MultiByteToWideChar(CP_THREAD_ACP, 0, bytes.data(),
                                         static_cast<int>(bytes.size()), nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring out(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_THREAD_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(),
                      length);
  return out;
}

}  // namespace platform
