// The seam on POSIX: a Windows user profile folder read from a POSIX system.
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>

#include "platform/common.h"
#include "platform/platform.h"

namespace platform {
namespace {

// ---- Case and wildcards, as Windows compares file names

wchar_t UpperCase(wchar_t c) {
  if (c >= L'a' && c <= L'z') return static_cast<wchar_t>(c - 0x20);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<wchar_t>(c - 0x20);
  if (c >= 0x430 && c <= 0x44F) return static_cast<wchar_t>(c - 0x20);
  if (c >= 0x450 && c <= 0x45F) return static_cast<wchar_t>(c - 0x50);
  return c;
}

std::wstring UpperCase(const std::wstring& text) {
  std::wstring out(text);
  for (wchar_t& c : out) c = UpperCase(c);
  return out;
}

bool EqualNoCase(const std::wstring& a, const std::wstring& b) {
  return a.size() == b.size() && UpperCase(a) == UpperCase(b);
}

// "*" any run, "?" any one character, without regard to case; "*.*" is "*".
bool WildcardMatch(const std::wstring& name_in, const std::wstring& pattern_in) {
  const std::wstring name = UpperCase(name_in);
  const std::wstring pattern = pattern_in == L"*.*" ? std::wstring(L"*") : UpperCase(pattern_in);
  size_t n = 0, p = 0, star_p = std::wstring::npos, star_n = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == L'?' || pattern[p] == name[n])) {
      ++n;
      ++p;
    } else if (p < pattern.size() && pattern[p] == L'*') {
      star_p = ++p;
      star_n = n;
    } else if (star_p != std::wstring::npos) {
      p = star_p;
      n = ++star_n;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == L'*') ++p;
  return p == pattern.size();
}

// ---- Paths

std::vector<std::wstring> SplitComponents(const std::wstring& path) {
  std::vector<std::wstring> parts;
  std::wstring part;
  for (wchar_t c : path) {
    if (c == L'\\' || c == L'/') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

// The native path of a Windows-style path: each component that does not exist as
// written is looked up in its folder without regard to case. Components that are
// missing altogether stay as written.
std::string ToNative(const std::wstring& path) {
  std::string native = (!path.empty() && (path[0] == L'/' || path[0] == L'\\')) ? "/" : "";
  bool exists = true;
  for (const std::wstring& component : SplitComponents(path)) {
    std::string name = Utf8FromWide(component);
    std::string candidate = (native.empty() || native == "/") ? native + name : native + "/" + name;
    if (component != L"." && component != L".." && exists) {
      struct stat st;
      if (lstat(candidate.c_str(), &st) != 0) {
        exists = false;
        DIR* dir = opendir(native.empty() ? "." : native.c_str());
        if (dir != nullptr) {
          while (dirent* entry = readdir(dir)) {
            if (EqualNoCase(WideFromUtf8(entry->d_name), component)) {
              candidate = (native.empty() || native == "/") ? native + entry->d_name
                                                            : native + "/" + entry->d_name;
              exists = true;
              break;
            }
          }
          closedir(dir);
        }
      }
    }
    native = candidate;
  }
  return native.empty() ? std::string(".") : native;
}

void SplitPattern(const std::wstring& pattern, std::wstring* folder, std::wstring* name) {
  const size_t cut = pattern.find_last_of(L"\\/");
  if (cut == std::wstring::npos) {
    folder->clear();
    *name = pattern;
  } else {
    *folder = pattern.substr(0, cut + 1);
    *name = pattern.substr(cut + 1);
  }
}

int RemoveEntry(const char* path, const struct stat*, int type, struct FTW*) {
  return (type == FTW_DP ? rmdir(path) : unlink(path)) == 0 ? 0 : -1;
}

// ---- The in-memory registry: key path (upper case) -> value name (upper case) -> value

struct RegValue {
  uint32_t type = 0;
  std::vector<uint8_t> data;
};

struct RegStore {
  std::map<std::wstring, std::map<std::wstring, RegValue>> keys;
};

RegStore& Registry() {
  static RegStore store;
  return store;
}

std::wstring KeyId(const std::wstring& subkey) {
  std::wstring id;
  for (const std::wstring& part : SplitComponents(subkey)) {
    if (!id.empty()) id += L'\\';
    id += UpperCase(part);
  }
  return id;
}

struct OpenKey {
  std::wstring id;
  RegAccess access;
};

// Windows-1252 bytes 0x80-0x9F; the five unassigned ones map to the same code point.
constexpr wchar_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// ---- Calendar arithmetic (days since 1970-01-01, proleptic Gregorian)

constexpr int64_t kFileTimeTicksPerSecond = 10000000;
constexpr int64_t kSecondsFrom1601To1970 = 11644473600LL;

void CivilFromDays(int64_t z, int64_t* y, int* m, int* d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  *d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  *m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *y = yoe + era * 400 + (*m <= 2 ? 1 : 0);
}

}  // namespace

// ---- Known folders

bool GetKnownFolder(KnownFolder folder, std::wstring* path) {
  path->clear();
  return KnownFolderUnderRoot(folder, path);
}

// ---- Files and folders

bool FindFiles(const std::wstring& pattern, std::vector<FindEntry>* entries) {
  entries->clear();
  std::wstring folder, name_pattern;
  SplitPattern(pattern, &folder, &name_pattern);
  if (name_pattern.empty()) return false;
  const std::string native_folder = folder.empty() ? std::string(".") : ToNative(folder);
  DIR* dir = opendir(native_folder.c_str());
  if (dir == nullptr) return false;
  while (dirent* entry = readdir(dir)) {
    const std::wstring name = WideFromUtf8(entry->d_name);
    if (!WildcardMatch(name, name_pattern)) continue;
    struct stat st;
    const std::string full = native_folder + "/" + entry->d_name;
    const bool is_dir = lstat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    entries->push_back(FindEntry{name, is_dir});
  }
  closedir(dir);
  std::sort(entries->begin(), entries->end(), [](const FindEntry& a, const FindEntry& b) {
    return UpperCase(a.name) < UpperCase(b.name);
  });
  return !entries->empty();
}

bool FileExists(const std::wstring& path) {
  struct stat st;
  return stat(ToNative(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::wstring& path) {
  struct stat st;
  return stat(ToNative(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool RemoveFile(const std::wstring& path) { return unlink(ToNative(path).c_str()) == 0; }

int ShellDelete(const std::wstring& path) {
  const std::string native = ToNative(path);
  struct stat st;
  if (lstat(native.c_str(), &st) != 0) return kErrorFileNotFound;
  if (!S_ISDIR(st.st_mode)) return unlink(native.c_str()) == 0 ? 0 : kErrorAccessDenied;
  return nftw(native.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS) == 0 ? 0
                                                                         : kErrorAccessDenied;
}

bool MoveReplace(const std::wstring& source, const std::wstring& target) {
  const std::string native_target = ToNative(target);
  if (rename(ToNative(source).c_str(), native_target.c_str()) != 0) return false;
  // Make the new directory entry durable, as MOVEFILE_WRITE_THROUGH does.
  const size_t cut = native_target.find_last_of('/');
  const std::string folder = cut == std::string::npos ? "." : native_target.substr(0, cut + 1);
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd >= 0) {
    fsync(fd);
    close(fd);
  }
  return true;
}

std::string PathForSqlite(const std::wstring& path) { return ToNative(path); }

File File::OpenForRead(const std::wstring& path, Share) {
  File file;
  const int fd = open(ToNative(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return file;
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    close(fd);
    return file;
  }
  file.handle_ = fd;
  return file;
}

File File::CreateForWrite(const std::wstring& path) {
  File file;
  const int fd = open(ToNative(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd >= 0) file.handle_ = fd;
  return file;
}

bool File::is_open() const { return handle_ >= 0; }

bool File::Read(void* buffer, size_t size, size_t* got) {
  *got = 0;
  if (handle_ < 0) return false;
  for (;;) {
    const ssize_t n = read(static_cast<int>(handle_), buffer, size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    *got = static_cast<size_t>(n);
    return true;
  }
}

bool File::Write(const void* data, size_t size) {
  if (handle_ < 0) return false;
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = write(static_cast<int>(handle_), bytes, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool File::Flush() { return handle_ >= 0 && fsync(static_cast<int>(handle_)) == 0; }

bool File::Close() {
  if (handle_ < 0) return true;
  const int rc = close(static_cast<int>(handle_));
  handle_ = -1;
  return rc == 0;
}

// ---- Mapped files

bool MappedFile::Open(const std::wstring& path) {
  Close();
  const int fd = open(ToNative(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return false;
  }
  const auto size = static_cast<uint64_t>(st.st_size);
  if (size > 0) {
    void* view = mmap(nullptr, static_cast<size_t>(size), PROT_READ, MAP_PRIVATE, fd, 0);
    if (view == MAP_FAILED) {
      close(fd);
      return false;
    }
    data_ = static_cast<const uint8_t*>(view);
  }
  size_ = size;
  file_ = fd;
  open_ = true;
  return true;
}

void MappedFile::Close() {
  if (data_ != nullptr) munmap(const_cast<uint8_t*>(data_), static_cast<size_t>(size_));
  if (file_ >= 0) close(static_cast<int>(file_));
  open_ = false;
  data_ = nullptr;
  size_ = 0;
  file_ = -1;
  mapping_ = 0;
}

// ---- Registry

long RegKey::Create(const std::wstring& subkey, RegAccess access, RegKey* key) {
  key->Close();
  const std::wstring id = KeyId(RegistryPath(subkey));
  Registry().keys[id];
  key->handle_ = new OpenKey{id, access};
  return kErrorSuccess;
}

long RegKey::Open(const std::wstring& subkey, RegAccess access, RegKey* key) {
  key->Close();
  const std::wstring id = KeyId(RegistryPath(subkey));
  if (Registry().keys.count(id) == 0) return kErrorFileNotFound;
  key->handle_ = new OpenKey{id, access};
  return kErrorSuccess;
}

bool RegKey::is_open() const { return handle_ != nullptr; }

long RegKey::QueryValue(const std::wstring& name, uint32_t* type, uint8_t* data,
                        uint32_t* size) const {
  const auto* open_key = static_cast<const OpenKey*>(handle_);
  if (open_key == nullptr) return kErrorFileNotFound;
  if (open_key->access != RegAccess::kRead) return kErrorAccessDenied;
  const auto key = Registry().keys.find(open_key->id);
  if (key == Registry().keys.end()) return kErrorFileNotFound;
  const auto value = key->second.find(UpperCase(name));
  if (value == key->second.end()) return kErrorFileNotFound;
  if (type != nullptr) *type = value->second.type;
  const auto stored_size = static_cast<uint32_t>(value->second.data.size());
  if (data != nullptr) {
    if (size == nullptr) return kErrorAccessDenied;
    if (*size < stored_size) {
      *size = stored_size;
      return kErrorMoreData;
    }
    std::copy(value->second.data.begin(), value->second.data.end(), data);
  }
  if (size != nullptr) *size = stored_size;
  return kErrorSuccess;
}

long RegKey::SetValue(const std::wstring& name, uint32_t type, const uint8_t* data,
                      uint32_t size) {
  const auto* open_key = static_cast<const OpenKey*>(handle_);
  if (open_key == nullptr) return kErrorFileNotFound;
  if (open_key->access != RegAccess::kWrite) return kErrorAccessDenied;
  RegValue& value = Registry().keys[open_key->id][UpperCase(name)];
  value.type = type;
  value.data.assign(data, data + size);
  return kErrorSuccess;
}

long RegKey::DeleteValue(const std::wstring& name) {
  const auto* open_key = static_cast<const OpenKey*>(handle_);
  if (open_key == nullptr) return kErrorFileNotFound;
  if (open_key->access != RegAccess::kWrite) return kErrorAccessDenied;
  auto& values = Registry().keys[open_key->id];
  return values.erase(UpperCase(name)) == 1 ? kErrorSuccess : kErrorFileNotFound;
}

void RegKey::Close() {
  delete static_cast<OpenKey*>(handle_);
  handle_ = nullptr;
}

long RegDeleteKeyTree(const std::wstring& subkey) {
  const std::wstring id = KeyId(RegistryPath(subkey));
  auto& keys = Registry().keys;
  long result = kErrorFileNotFound;
  for (auto it = keys.begin(); it != keys.end();) {
    if (it->first == id || it->first.rfind(id + L"\\", 0) == 0) {
      it = keys.erase(it);
      result = kErrorSuccess;
    } else {
      ++it;
    }
  }
  return result;
}

// ---- INI files

std::wstring FoldCase(const std::wstring& text) { return UpperCase(text); }

// ---- Time

uint64_t GetSystemTimeAsFileTime() {
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<uint64_t>(now.tv_sec + kSecondsFrom1601To1970) * kFileTimeTicksPerSecond +
         static_cast<uint64_t>(now.tv_nsec / 100);
}

bool FileTimeToLocalFileTime(uint64_t utc, uint64_t* local) {
  const time_t now = time(nullptr);
  struct tm parts;
  if (localtime_r(&now, &parts) == nullptr) return false;
  const int64_t bias = static_cast<int64_t>(parts.tm_gmtoff) * kFileTimeTicksPerSecond;
  if (bias < 0 && utc < static_cast<uint64_t>(-bias)) return false;
  *local = utc + static_cast<uint64_t>(bias);
  return true;
}

bool FileTimeToSystemTime(uint64_t filetime, SystemTime* st) {
  if (filetime >= (1ULL << 63)) return false;
  const auto ticks = static_cast<int64_t>(filetime);
  const int64_t seconds = ticks / kFileTimeTicksPerSecond - kSecondsFrom1601To1970;
  int64_t days = seconds / 86400;
  int64_t rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  int64_t year = 0;
  CivilFromDays(days, &year, &st->month, &st->day);
  st->year = static_cast<int>(year);
  st->day_of_week = static_cast<int>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
  st->hour = static_cast<int>(rest / 3600);
  st->minute = static_cast<int>(rest / 60 % 60);
  st->second = static_cast<int>(rest % 60);
  st->milliseconds = static_cast<int>(ticks % kFileTimeTicksPerSecond / 10000);
  return true;
}

int64_t MakeCalendarTime(const SystemTime& local) {
  struct tm parts {};
  parts.tm_year = local.year - 1900;
  parts.tm_mon = local.month - 1;
  parts.tm_mday = local.day;
  parts.tm_hour = local.hour;
  parts.tm_min = local.minute;
  parts.tm_sec = local.second;
  parts.tm_isdst = -1;
  return static_cast<int64_t>(mktime(&parts));
}

int64_t CurrentCalendarTime() { return static_cast<int64_t>(time(nullptr)); }

// ---- Text

void UseUtf8Console() {}

std::wstring WideFromAnsi(const std::string& bytes) {
  std::wstring out;
  out.reserve(bytes.size());
  for (char ch : bytes) {
    const auto b = static_cast<unsigned char>(ch);
    out += (b >= 0x80 && b < 0xA0) ? kCp1252High[b - 0x80] : static_cast<wchar_t>(b);
  }
  return out;
}

}  // namespace platform
