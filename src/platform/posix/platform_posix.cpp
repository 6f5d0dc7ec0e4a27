// The seam on POSIX: a Windows user profile folder read from a POSIX system.
#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>

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

// "*" any run, "?" any one character; both texts already in upper case
// (UpperCase), the pattern "*.*" already "*".
bool WildcardMatchUpper(const std::wstring& name, const std::wstring& pattern) {
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

// ---- File names: UTF-8 bytes, each byte that is not part of UTF-8 kept as the
// character U+DC80 + byte (a code point UTF-8 cannot encode), so that every name
// read from disk leads back to the same bytes.

constexpr wchar_t kRawByteBase = 0xDC00;

std::wstring WideName(const std::string& bytes) {
  std::wstring out;
  size_t i = 0;
  while (i < bytes.size()) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    size_t len = b < 0x80 ? 1 : b >= 0xC2 && b < 0xE0 ? 2 : b >= 0xE0 && b < 0xF0 ? 3
                 : b >= 0xF0 && b < 0xF5                ? 4
                                                        : 0;
    if (len > 1 && i + len <= bytes.size()) {
      const std::wstring one = WideFromUtf8(bytes.substr(i, len));
      if (one.size() != 1 || (one[0] == 0xFFFD && bytes.compare(i, len, "\xEF\xBF\xBD") != 0)) {
        len = 0;
      }
      if (len != 0) out += one;
    } else if (len == 1) {
      out += static_cast<wchar_t>(b);
    } else {
      len = 0;
    }
    if (len == 0) {
      out += static_cast<wchar_t>(kRawByteBase + b);
      len = 1;
    }
    i += len;
  }
  return out;
}

// Appends the bytes of a name as the file system holds them.
void AppendNativeName(std::wstring_view name, std::string* out) {
  if (std::all_of(name.begin(), name.end(), [](wchar_t c) { return c < 0x80; })) {
    const size_t at = out->size();
    out->resize(at + name.size());
    std::transform(name.begin(), name.end(), out->begin() + static_cast<std::ptrdiff_t>(at),
                   [](wchar_t c) { return static_cast<char>(c); });
    return;
  }
  for (const wchar_t c : name) {
    if (c < 0x80) {
      *out += static_cast<char>(c);
    } else if (c >= kRawByteBase + 0x80 && c <= kRawByteBase + 0xFF) {
      *out += static_cast<char>(c - kRawByteBase);
    } else {
      *out += Utf8FromWide(std::wstring(1, c));
    }
  }
}

std::string NativeName(const std::wstring& name) {
  std::string out;
  AppendNativeName(name, &out);
  return out;
}

// ---- Folder listings for lookups without regard to case. A listing is kept while
// the folder's modification time stays what it was when the folder was read, and
// only when that time lay far enough in the past that a later change within the
// same clock tick could not hide behind it.

struct Listing {
  dev_t dev = 0;
  ino_t ino = 0;
  struct timespec mtime {};
  bool trusted = false;
  std::unordered_map<std::wstring, std::string> names;  // upper case -> on disk
};

constexpr size_t kMaxListings = 64;
constexpr int64_t kRacyNanoseconds = 200 * 1000 * 1000;

std::mutex& ListingsLock() {
  static std::mutex lock;
  return lock;
}

std::unordered_map<std::string, Listing>& Listings() {
  static std::unordered_map<std::string, Listing> listings;
  return listings;
}

bool SameStamp(const Listing& listing, const struct stat& st) {
  return listing.dev == st.st_dev && listing.ino == st.st_ino &&
         listing.mtime.tv_sec == st.st_mtim.tv_sec && listing.mtime.tv_nsec == st.st_mtim.tv_nsec;
}

// The on-disk name in `folder` that equals `component` without regard to case.
bool FindNoCase(const std::string& folder, const std::wstring& component, std::string* found) {
  struct stat st;
  if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  const std::lock_guard<std::mutex> hold(ListingsLock());
  auto& listings = Listings();
  auto it = listings.find(folder);
  if (it == listings.end() || !it->second.trusted || !SameStamp(it->second, st)) {
    if (it == listings.end() && listings.size() >= kMaxListings) listings.clear();
    Listing listing;
    listing.dev = st.st_dev;
    listing.ino = st.st_ino;
    listing.mtime = st.st_mtim;
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    const int64_t age = (static_cast<int64_t>(now.tv_sec) - st.st_mtim.tv_sec) * 1000000000 +
                        (now.tv_nsec - st.st_mtim.tv_nsec);
    listing.trusted = age > kRacyNanoseconds;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return false;
    while (dirent* entry = readdir(dir)) {
      listing.names.emplace(UpperCase(WideName(entry->d_name)), entry->d_name);
    }
    closedir(dir);
    it = listings.insert_or_assign(folder, std::move(listing)).first;
  }
  const auto name = it->second.names.find(UpperCase(component));
  if (name == it->second.names.end()) return false;
  *found = name->second;
  return true;
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

enum class LastName { kLookUp, kExact };

// The native path of a Windows-style path as it is written: each separator "/",
// doubled ones as one, each name's bytes as the file system holds them.
std::string AsWritten(const std::wstring& path) {
  std::string written;
  written.reserve(path.size() + 8);
  if (std::all_of(path.begin(), path.end(), [](wchar_t c) { return c < 0x80; })) {
    // Every name is its own bytes: one pass, each run of separators one "/", none
    // at the end.
    written.resize(path.size());
    char* out = written.data();
    size_t size = 0;
    bool separated = false;  // a separator since the last name's character
    for (const wchar_t c : path) {
      if (c == L'\\' || c == L'/') {
        separated = true;
        continue;
      }
      if (separated && (size == 0 || out[size - 1] != '/')) out[size++] = '/';
      separated = false;
      out[size++] = static_cast<char>(c);
    }
    if (size == 0 && separated) out[size++] = '/';  // the root alone
    written.resize(size);
    return written.empty() ? std::string(".") : written;
  }
  size_t start = 0;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != L'\\' && path[i] != L'/') continue;
    if (i == 0) {
      written.push_back('/');  // an absolute path
    } else if (i > start) {
      if (!written.empty() && written.back() != '/') written += '/';
      AppendNativeName(std::wstring_view(path).substr(start, i - start), &written);
    }
    start = i + 1;
  }
  return written.empty() ? std::string(".") : written;
}

// The native path of a Windows-style path: each component that does not exist as
// written is looked up in its folder without regard to case. Components that are
// missing altogether stay as written, and so does the last one with kExact (a
// file about to be created under exactly that name).
std::string LookedUp(const std::wstring& path, LastName last);

std::string ToNative(const std::wstring& path, LastName last = LastName::kLookUp) {
  // Most paths exist as written: then one look at the whole path does for one at
  // each component.
  const std::string written = AsWritten(path);
  struct stat written_st;
  if (lstat(written.c_str(), &written_st) == 0) return written;
  return LookedUp(path, last);
}

// ToNative of a path that does not exist as written.
std::string LookedUp(const std::wstring& path, LastName last) {
  std::string native = (!path.empty() && (path[0] == L'/' || path[0] == L'\\')) ? "/" : "";
  bool exists = true;
  const std::vector<std::wstring> components = SplitComponents(path);
  for (size_t i = 0; i < components.size(); ++i) {
    const std::wstring& component = components[i];
    const std::string prefix = (native.empty() || native == "/") ? native : native + "/";
    std::string candidate = prefix + NativeName(component);
    const bool look_up = last == LastName::kLookUp || i + 1 < components.size();
    if (component != L"." && component != L".." && exists && look_up) {
      struct stat st;
      if (lstat(candidate.c_str(), &st) != 0) {
        std::string found;
        exists = FindNoCase(native.empty() ? "." : native, component, &found);
        if (exists) candidate = prefix + found;
      }
    }
    native = candidate;
  }
  return native.empty() ? std::string(".") : native;
}

// The folder part of a native path, and its last name.
void SplitNative(const std::string& native, std::string* folder, std::string* name) {
  const size_t cut = native.find_last_of('/');
  *folder = cut == std::string::npos ? std::string(".") : cut == 0 ? std::string("/")
                                                                    : native.substr(0, cut);
  *name = cut == std::string::npos ? native : native.substr(cut + 1);
}

// The mount an entry lies on: its device and, where the system tells, its mount
// number (a bind mount of a folder of the same device differs only there).
struct MountId {
  uint64_t dev = 0;
  uint64_t mount = 0;
  bool operator==(const MountId&) const = default;
};

bool GetMountId(int folder, const char* name, MountId* id) {
  struct statx sx;
  if (statx(folder, name, AT_SYMLINK_NOFOLLOW, STATX_MNT_ID, &sx) != 0) return false;
  id->dev = (static_cast<uint64_t>(sx.stx_dev_major) << 32) | sx.stx_dev_minor;
  id->mount = (sx.stx_mask & STATX_MNT_ID) != 0 ? sx.stx_mnt_id : 0;
  return true;
}

// True when the folder `name` in the open folder `parent` is on another mount.
bool IsMountPoint(int parent, const char* name) {
  MountId inside, outside;
  return !GetMountId(parent, name, &inside) || !GetMountId(parent, ".", &outside) ||
         !(inside == outside);
}

// Deeper folders are not entered, so that no folder tree can exhaust the stack or
// the descriptors: a tree deeper than this is not deleted.
constexpr int kMaxRemoveDepth = 128;

// Walks the entry `name` of the open folder `parent` and everything below it,
// never following a link and never entering another mount. With `remove` false it
// only checks: true when the whole tree can be taken apart (no mount point in it,
// not too deep). With `remove` true it removes a file or link as itself and a
// folder with everything in it; true when the entry is gone.
bool WalkTree(int parent, const char* name, int depth, bool remove) {
  struct stat st;
  if (fstatat(parent, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT;
  if (!S_ISDIR(st.st_mode)) return !remove || unlinkat(parent, name, 0) == 0;
  if (depth >= kMaxRemoveDepth || IsMountPoint(parent, name)) return false;
  const int fd = openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  DIR* dir = fdopendir(fd);
  if (dir == nullptr) {
    close(fd);
    return false;
  }
  std::vector<std::string> names;
  while (dirent* entry = readdir(dir)) {
    if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
      names.push_back(entry->d_name);
    }
  }
  bool ok = true;
  for (const std::string& child : names) {
    ok = WalkTree(fd, child.c_str(), depth + 1, remove) && ok;
    if (!ok && !remove) break;
  }
  closedir(dir);
  return remove ? unlinkat(parent, name, AT_REMOVEDIR) == 0 && ok : ok;
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
  const std::wstring upper_pattern =
      name_pattern == L"*.*" ? std::wstring(L"*") : UpperCase(name_pattern);
  // A folder on another mount than the one listed is left out.
  MountId here;
  const bool here_known = GetMountId(dirfd(dir), ".", &here);
  // The entries, and the upper case of each name: the key of the order.
  std::vector<std::wstring> keys;
  while (dirent* entry = readdir(dir)) {
    std::wstring name = WideName(entry->d_name);
    std::wstring upper = UpperCase(name);
    if (upper_pattern != L"*" && !WildcardMatchUpper(upper, upper_pattern)) continue;
    const bool dot = name == L"." || name == L"..";
    if (!dot && !IsWindowsName(name)) continue;
    // The type the folder tells saves a look at the entry; links, devices, pipes
    // and sockets are left out.
    bool is_dir = entry->d_type == DT_DIR;
    if (entry->d_type == DT_UNKNOWN) {
      struct stat st;
      if (fstatat(dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
      is_dir = S_ISDIR(st.st_mode);
      if (!is_dir && !S_ISREG(st.st_mode)) continue;
    } else if (!is_dir && entry->d_type != DT_REG) {
      continue;
    }
    if (is_dir && !dot) {
      MountId inside;
      if (!here_known || !GetMountId(dirfd(dir), entry->d_name, &inside) || !(inside == here)) {
        continue;
      }
    }
    keys.push_back(std::move(upper));
    entries->push_back(FindEntry{std::move(name), is_dir});
  }
  closedir(dir);
  std::vector<uint32_t> order(entries->size());
  for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(),
            [&keys](uint32_t a, uint32_t b) { return keys[a] < keys[b]; });
  std::vector<FindEntry> sorted;
  sorted.reserve(order.size());
  for (const uint32_t i : order) sorted.push_back(std::move((*entries)[i]));
  *entries = std::move(sorted);
  return !entries->empty();
}

bool FileExists(const std::wstring& path) {
  const std::string written = AsWritten(path);
  struct stat st;
  if (lstat(written.c_str(), &st) == 0) {
    // ToNative gives the path as written: what lstat saw is what stat would see,
    // unless it is a link.
    return (!S_ISLNK(st.st_mode) || stat(written.c_str(), &st) == 0) && S_ISREG(st.st_mode);
  }
  return stat(LookedUp(path, LastName::kLookUp).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::wstring& path) {
  struct stat st;
  return stat(ToNative(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

namespace {

// The last entry of a path, looked at from its open folder and never through a link.
class FolderEntry {
 public:
  explicit FolderEntry(const std::wstring& path) {
    std::string folder;
    SplitNative(ToNative(path), &folder, &name_);
    folder_ = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    found_ = folder_ >= 0 && fstatat(folder_, name_.c_str(), &st_, AT_SYMLINK_NOFOLLOW) == 0;
  }
  ~FolderEntry() {
    if (folder_ >= 0) close(folder_);
  }
  FolderEntry(const FolderEntry&) = delete;
  FolderEntry& operator=(const FolderEntry&) = delete;

  bool found() const { return found_; }
  int folder() const { return folder_; }
  const std::string& name() const { return name_; }
  const struct stat& status() const { return st_; }

 private:
  int folder_ = -1;
  std::string name_;
  struct stat st_ {};
  bool found_ = false;
};

}  // namespace

bool IsLinkOrReparsePoint(const std::wstring& path) {
  // Only a folder can be a mount point, which takes a look from its open parent; any
  // other entry that exists as written is a link or not by what lstat says of it.
  struct stat st;
  if (lstat(AsWritten(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) {
    return S_ISLNK(st.st_mode);
  }
  const FolderEntry entry(path);
  if (!entry.found()) return false;
  const std::string& name = entry.name();
  return S_ISLNK(entry.status().st_mode) ||
         (S_ISDIR(entry.status().st_mode) && name != "." && name != ".." &&
          IsMountPoint(entry.folder(), name.c_str()));
}

bool FileInUse(const std::wstring&) { return false; }

uint32_t LinkCount(const std::wstring& path) {
  struct stat st {};
  if (lstat(ToNative(path).c_str(), &st) != 0) return 0;
  return static_cast<uint32_t>(st.st_nlink);
}

bool RemoveFile(const std::wstring& path) { return unlink(ToNative(path).c_str()) == 0; }

int ShellDelete(const std::wstring& path) {
  const FolderEntry entry(path);
  if (!entry.found()) return kErrorFileNotFound;
  // A tree with a mount point inside is left whole: the mount point cannot be
  // removed as an entry, and nothing is entered below it.
  const char* name = entry.name().c_str();
  return WalkTree(entry.folder(), name, 0, false) && WalkTree(entry.folder(), name, 0, true)
             ? 0
             : kErrorAccessDenied;
}

namespace {

FileIdentity IdentityOf(const struct stat& st) {
  FileIdentity identity;
  identity.volume = static_cast<uint64_t>(st.st_dev);
  identity.file = static_cast<uint64_t>(st.st_ino);
  identity.size = static_cast<uint64_t>(st.st_size);
  identity.modified = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return identity;
}

}  // namespace

bool GetPathIdentity(const std::wstring& path, FileIdentity* identity) {
  const FolderEntry entry(path);
  if (!entry.found()) return false;
  *identity = IdentityOf(entry.status());
  return true;
}

bool PathStillNames(const std::wstring& path, const FileIdentity& identity) {
  const FolderEntry entry(path);
  return entry.found() && S_ISREG(entry.status().st_mode) && IdentityOf(entry.status()) == identity;
}

bool MoveReplaceIfUnchanged(const std::wstring& source, const std::wstring& target,
                            const FileIdentity& read) {
  RunReplaceHook(target);
  // POSIX has no rename that checks what it replaces: a change in the moment
  // between this check and the rename is not seen.
  return PathStillNames(target, read) && MoveReplace(source, target);
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

namespace {

// The absolute path of `folder` without links (realpath). The path the kernel keeps
// for the open folder costs one walk of the path, where realpath looks at each
// component in turn; realpath answers where the kernel's path is not to be had or
// not whole (no /proc, a folder deleted or out of reach).
bool ResolvedFolder(const std::string& folder, std::string* resolved) {
  const int fd = open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    char target[PATH_MAX];
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t size = readlink(link.c_str(), target, sizeof target);
    close(fd);
    static const char kDeleted[] = " (deleted)";
    if (size > 0 && static_cast<size_t>(size) < sizeof target && target[0] == '/') {
      resolved->assign(target, static_cast<size_t>(size));
      if (!resolved->ends_with(kDeleted)) return true;
    }
  }
  char* real = realpath(folder.c_str(), nullptr);
  if (real == nullptr) return false;
  *resolved = real;
  free(real);
  return true;
}

}  // namespace

// The folders are resolved here, so that SQLite's no-follow open refuses only a
// database file that is itself a link.
std::string PathForSqlite(const std::wstring& path) {
  const std::string native = ToNative(path);
  if (native.find('/') == std::string::npos) return native;
  std::string folder, name;
  SplitNative(native, &folder, &name);
  std::string resolved;
  if (!ResolvedFolder(folder, &resolved)) return native;
  return (resolved == "/" ? resolved : resolved + "/") + name;
}

namespace {

// Opens a regular file for reading without following a link and without waiting
// for a pipe's writer; -1 for anything else. O_NONBLOCK, which keeps the open from
// waiting, stays on the descriptor: a regular file's reads do not heed it, and
// File::Read takes it off should a read ever say it would wait.
int OpenRegularForRead(const std::wstring& path) {
  constexpr int kFlags = O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
  // A path that names its file as written opens without a look at each component
  // (ToNative would give that path too); only one that does not is looked up.
  int fd = open(AsWritten(path).c_str(), kFlags);
  if (fd < 0) fd = open(ToNative(path).c_str(), kFlags);
  if (fd < 0) return -1;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

File File::OpenForRead(const std::wstring& path, Share) {
  File file;
  file.handle_ = OpenRegularForRead(path);
  return file;
}

File File::CreateNew(const std::wstring& path) {
  File file;
  const int fd = open(ToNative(path, LastName::kExact).c_str(),
                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
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
    // Of the flags F_SETFL can change, the open set only O_NONBLOCK.
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) &&
        fcntl(static_cast<int>(handle_), F_SETFL, 0) == 0) {
      continue;
    }
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

bool File::GetIdentity(FileIdentity* identity) const {
  struct stat st;
  if (handle_ < 0 || fstat(static_cast<int>(handle_), &st) != 0) return false;
  *identity = IdentityOf(st);
  return true;
}

bool File::RemoveIfUnchanged(const std::wstring& path, const FileIdentity& read) {
  RunReplaceHook(path);
  FileIdentity now;
  const bool same = GetIdentity(&now) && now == read && PathStillNames(path, read);
  Close();
  if (!same) return false;
  const FolderEntry entry(path);
  return entry.found() && unlinkat(entry.folder(), entry.name().c_str(), 0) == 0;
}

bool File::Close() {
  if (handle_ < 0) return true;
  const int rc = close(static_cast<int>(handle_));
  handle_ = -1;
  return rc == 0;
}

// ---- Mapped files

bool MappedFile::Open(const std::wstring& path) {
  Close();
  const int fd = OpenRegularForRead(path);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) != 0) {
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

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

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
