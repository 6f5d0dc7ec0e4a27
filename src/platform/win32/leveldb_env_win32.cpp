// LevelDB's file operations with the wide Windows calls, over LevelDB's own Windows
// environment for everything else (threads, time, its log). Paths arrive as UTF-8.
#include <windows.h>

#include <leveldb/env.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/leveldb_env.h"
#include "platform/platform.h"

namespace platform {
namespace {

using leveldb::Slice;
using leveldb::Status;

std::wstring Wide(const std::string& path) { return WideFromUtf8(path); }

// One place that turns a Windows error code into LevelDB's status.
Status ErrorStatus(const std::string& context, DWORD error) {
  const std::string text = context + ": Windows error " + std::to_string(error);
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
    return Status::NotFound(text);
  }
  return Status::IOError(text);
}

// A file handle closed with CloseHandle. Movable, not copyable.
class Handle {
 public:
  explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  Handle(Handle&& other) noexcept : handle_(other.handle_) { other.handle_ = INVALID_HANDLE_VALUE; }
  Handle& operator=(Handle&& other) noexcept {
    if (this != &other) {
      Close();
      handle_ = other.handle_;
      other.handle_ = INVALID_HANDLE_VALUE;
    }
    return *this;
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { Close(); }

  bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  HANDLE get() const { return handle_; }
  bool Close() {
    if (!valid()) return true;
    const bool closed = CloseHandle(handle_) != FALSE;
    handle_ = INVALID_HANDLE_VALUE;
    return closed;
  }

 private:
  HANDLE handle_;
};

Handle Open(const std::string& name, DWORD access, DWORD share, DWORD disposition) {
  return Handle(CreateFileW(Wide(name).c_str(), access, share, nullptr, disposition,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
}

class SequentialFile final : public leveldb::SequentialFile {
 public:
  SequentialFile(std::string name, Handle handle)
      : name_(std::move(name)), handle_(std::move(handle)) {}

  Status Read(size_t n, Slice* result, char* scratch) override {
    DWORD got = 0;
    const DWORD want = n > MAXDWORD ? MAXDWORD : static_cast<DWORD>(n);
    if (!ReadFile(handle_.get(), scratch, want, &got, nullptr)) {
      *result = Slice();
      return ErrorStatus(name_, GetLastError());
    }
    *result = Slice(scratch, got);
    return Status::OK();
  }

  Status Skip(uint64_t n) override {
    LARGE_INTEGER distance;
    distance.QuadPart = static_cast<LONGLONG>(n);
    if (!SetFilePointerEx(handle_.get(), distance, nullptr, FILE_CURRENT)) {
      return ErrorStatus(name_, GetLastError());
    }
    return Status::OK();
  }

 private:
  std::string name_;
  Handle handle_;
};

class RandomAccessFile final : public leveldb::RandomAccessFile {
 public:
  RandomAccessFile(std::string name, Handle handle)
      : name_(std::move(name)), handle_(std::move(handle)) {}

  Status Read(uint64_t offset, size_t n, Slice* result, char* scratch) const override {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    const DWORD want = n > MAXDWORD ? MAXDWORD : static_cast<DWORD>(n);
    if (!ReadFile(handle_.get(), scratch, want, &got, &at)) {
      const DWORD error = GetLastError();
      if (error != ERROR_HANDLE_EOF) {
        *result = Slice(scratch, 0);
        return ErrorStatus(name_, error);
      }
    }
    *result = Slice(scratch, got);
    return Status::OK();
  }

 private:
  std::string name_;
  Handle handle_;
};

class WritableFile final : public leveldb::WritableFile {
 public:
  WritableFile(std::string name, Handle handle)
      : name_(std::move(name)), handle_(std::move(handle)) {}
  ~WritableFile() override { handle_.Close(); }

  Status Append(const Slice& data) override {
    const char* bytes = data.data();
    size_t left = data.size();
    while (left > 0) {
      DWORD wrote = 0;
      const DWORD chunk = left > MAXDWORD ? MAXDWORD : static_cast<DWORD>(left);
      if (!WriteFile(handle_.get(), bytes, chunk, &wrote, nullptr)) {
        return ErrorStatus(name_, GetLastError());
      }
      bytes += wrote;
      left -= wrote;
    }
    return Status::OK();
  }
  Status Close() override {
    return handle_.Close() ? Status::OK() : ErrorStatus(name_, GetLastError());
  }
  // Writes go straight to the handle: nothing is buffered here.
  Status Flush() override { return Status::OK(); }
  Status Sync() override {
    return FlushFileBuffers(handle_.get()) ? Status::OK() : ErrorStatus(name_, GetLastError());
  }

 private:
  std::string name_;
  Handle handle_;
};

class FileLock final : public leveldb::FileLock {
 public:
  explicit FileLock(Handle handle) : handle_(std::move(handle)) {}
  HANDLE get() const { return handle_.get(); }

 private:
  Handle handle_;
};

class WideEnv final : public leveldb::EnvWrapper {
 public:
  WideEnv() : leveldb::EnvWrapper(leveldb::Env::Default()) {}

  Status NewSequentialFile(const std::string& name, leveldb::SequentialFile** result) override {
    *result = nullptr;
    Handle handle = Open(name, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    if (!handle.valid()) return ErrorStatus(name, GetLastError());
    *result = new SequentialFile(name, std::move(handle));
    return Status::OK();
  }

  Status NewRandomAccessFile(const std::string& name,
                             leveldb::RandomAccessFile** result) override {
    *result = nullptr;
    Handle handle = Open(name, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    if (!handle.valid()) return ErrorStatus(name, GetLastError());
    *result = new RandomAccessFile(name, std::move(handle));
    return Status::OK();
  }

  Status NewWritableFile(const std::string& name, leveldb::WritableFile** result) override {
    *result = nullptr;
    Handle handle = Open(name, GENERIC_WRITE, 0, CREATE_ALWAYS);
    if (!handle.valid()) return ErrorStatus(name, GetLastError());
    *result = new WritableFile(name, std::move(handle));
    return Status::OK();
  }

  Status NewAppendableFile(const std::string& name, leveldb::WritableFile** result) override {
    *result = nullptr;
    Handle handle = Open(name, FILE_APPEND_DATA, 0, OPEN_ALWAYS);
    if (!handle.valid()) return ErrorStatus(name, GetLastError());
    *result = new WritableFile(name, std::move(handle));
    return Status::OK();
  }

  bool FileExists(const std::string& name) override {
    return GetFileAttributesW(Wide(name).c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  Status GetChildren(const std::string& dir, std::vector<std::string>* result) override {
    result->clear();
    WIN32_FIND_DATAW data;
    const HANDLE find = FindFirstFileW((Wide(dir) + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      return error == ERROR_FILE_NOT_FOUND ? Status::OK() : ErrorStatus(dir, error);
    }
    do {
      const std::wstring name = data.cFileName;
      if (name != L"." && name != L"..") result->push_back(Utf8FromWide(name));
    } while (FindNextFileW(find, &data));
    const DWORD error = GetLastError();
    FindClose(find);
    return error == ERROR_NO_MORE_FILES ? Status::OK() : ErrorStatus(dir, error);
  }

  Status RemoveFile(const std::string& name) override {
    return DeleteFileW(Wide(name).c_str()) ? Status::OK() : ErrorStatus(name, GetLastError());
  }

  Status CreateDir(const std::string& name) override {
    return CreateDirectoryW(Wide(name).c_str(), nullptr) ? Status::OK()
                                                         : ErrorStatus(name, GetLastError());
  }

  Status RemoveDir(const std::string& name) override {
    return RemoveDirectoryW(Wide(name).c_str()) ? Status::OK()
                                                : ErrorStatus(name, GetLastError());
  }

  Status GetFileSize(const std::string& name, uint64_t* size) override {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(Wide(name).c_str(), GetFileExInfoStandard, &data)) {
      *size = 0;
      return ErrorStatus(name, GetLastError());
    }
    *size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return Status::OK();
  }

  Status RenameFile(const std::string& from, const std::string& to) override {
    return MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING)
               ? Status::OK()
               : ErrorStatus(from, GetLastError());
  }

  // As LevelDB's own environment and the browsers lock: the file open for reading
  // and writing with read sharing only, and all of it locked. Never waits.
  Status LockFile(const std::string& name, leveldb::FileLock** lock) override {
    *lock = nullptr;
    Handle handle = Open(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_ALWAYS);
    if (!handle.valid()) return ErrorStatus("lock " + name, GetLastError());
    if (!::LockFile(handle.get(), 0, 0, MAXDWORD, MAXDWORD)) {
      return ErrorStatus("lock " + name, GetLastError());
    }
    *lock = new FileLock(std::move(handle));
    return Status::OK();
  }

  Status UnlockFile(leveldb::FileLock* lock) override {
    std::unique_ptr<FileLock> held(static_cast<FileLock*>(lock));
    if (!::UnlockFile(held->get(), 0, 0, MAXDWORD, MAXDWORD)) {
      return ErrorStatus("unlock", GetLastError());
    }
    return Status::OK();
  }
};

}  // namespace

leveldb::Env* LevelDbEnv() {
  static WideEnv* env = new WideEnv;  // never destroyed: LevelDB's threads may outlive main
  return env;
}

std::string PathForLevelDb(const std::wstring& path) { return Utf8FromWide(path); }

}  // namespace platform
