// The one seam between the portable core and the operating system.
//
// Everything the stores, the settings and the schedule need from the system goes
// through these declarations. win32/ implements them with the Windows calls the
// program is specified against; posix/ emulates them over a Windows profile folder
// copied or mounted on a POSIX system (case-insensitive path components, Windows
// wildcard search, an in-memory registry, Windows-1252 as the ANSI code page).
//
// Paths are Windows paths in wide strings ("C:\Users\x\AppData\Roaming" on
// Windows; "/mnt/profile\AppData\Roaming" on POSIX, where "\" and "/" both separate
// components). The core never includes <windows.h>.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace platform {

// ---- Known folders -----------------------------------------------------------

enum class KnownFolder {
  Cookies,       // CSIDL_COOKIES
  AppData,       // CSIDL_APPDATA
  LocalAppData,  // CSIDL_LOCAL_APPDATA
  Profile,       // CSIDL_PROFILE
};

// Takes the known folders from a Windows user profile folder instead of the
// current user's: Profile = root, AppData = root\AppData\Roaming, LocalAppData =
// root\AppData\Local, Cookies = root\AppData\Roaming\Microsoft\Windows\Cookies.
// An empty root returns to the current user's folders (Windows) or to none (POSIX).
void SetProfileRoot(const std::wstring& root);
const std::wstring& GetProfileRoot();

// On failure returns false and leaves *path empty. Without a profile root, POSIX
// has no known folders.
bool GetKnownFolder(KnownFolder folder, std::wstring* path);

// ---- Files and folders -------------------------------------------------------

struct FindEntry {
  // The entry's name only, without its folder, exactly as it is on disk: joined to
  // its folder it leads back to this entry and no other (POSIX keeps each byte of a
  // name that is not UTF-8 as the character U+DC80 + byte).
  std::wstring name;
  bool is_directory = false;
};

// Lists the entries of the folder part of `pattern` whose names match its last
// component with Windows wildcards ("*", "?", case-insensitive; "." and ".." are
// entries too), in the order the file system gives them (POSIX sorts them without
// regard to case, as NTFS does; never rely on the order). Only plain files and
// folders are listed: links, junctions and other reparse points, mount points,
// devices, pipes and sockets are left out, and so is every name that is not a
// Windows name. Returns false when the search cannot start (missing folder,
// nothing matches), as FindFirstFileW does.
bool FindFiles(const std::wstring& pattern, std::vector<FindEntry>* entries);

// True when Windows could hold `name` as the name of one file or folder: not
// empty, not "." or "..", without any of \ / : * ? " < > | and control characters,
// not ending in a period or a space. Every name a store takes from disk or from a
// file must pass before it becomes part of a path.
bool IsWindowsName(const std::wstring& name);

// True when every component of `path` (between "\" or "/") is a Windows name. A
// relative path must not begin with a separator or a drive ("C:"); an absolute one
// must.
bool IsWindowsPath(const std::wstring& path, bool relative);

// True when the entry at `path` is itself a symbolic link, a junction or another
// reparse point, or a mount point; false for a plain file or folder and for a
// missing path. The folders above the entry are followed as usual.
bool IsLinkOrReparsePoint(const std::wstring& path);

bool FileExists(const std::wstring& path);
bool DirectoryExists(const std::wstring& path);

// True when another program holds the existing file `path` open in a way that keeps
// it from being opened for reading and writing with read and write sharing (a
// sharing violation: Chromium browsers hold their cookie database so while they
// run). Never waits. POSIX has no sharing modes: always false there.
bool FileInUse(const std::wstring& path);

// The names the existing file `path` has (its hard links): 1 for a file reachable
// by this name alone, more when the same bytes are reachable by other names too;
// 0 when it is missing or cannot be asked. A link or reparse point is asked about
// itself, never followed. (GetFileInformationByHandle's nNumberOfLinks on Windows,
// st_nlink of lstat on POSIX.)
uint32_t LinkCount(const std::wstring& path);

// DeleteFileW.
bool RemoveFile(const std::wstring& path);

// Deletes a file, or a folder with everything in it, as the shell does with
// FO_DELETE and flags 0x614 (no UI, no recycle bin). Links and junctions inside a
// folder are removed as entries, never followed; no folder on another mount is
// entered (POSIX leaves a folder with a mount point inside whole). A path holding
// "*" or "?" is refused. Returns 0 on success, else a non-zero error code.
int ShellDelete(const std::wstring& path);

// Replaces `target` with `source` in one step (MoveFileExW with
// MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH; rename on POSIX).
bool MoveReplace(const std::wstring& source, const std::wstring& target);

// Which file a path named when a store read it, and in what state: the file itself
// (device and inode on POSIX; volume serial number and file index from
// GetFileInformationByHandle on Windows), its size and its last write time. A
// store takes it when it reads a file and replaces or deletes the file only while
// the path still names that file, unchanged.
struct FileIdentity {
  uint64_t volume = 0;
  uint64_t file = 0;
  uint64_t size = 0;
  int64_t modified = 0;  // nanoseconds (POSIX) or 100-nanosecond units (Windows)

  bool operator==(const FileIdentity&) const = default;
  // The same file or folder, whatever its size and time.
  bool SameEntry(const FileIdentity& other) const {
    return volume == other.volume && file == other.file;
  }
};

// The identity of the entry at `path` itself, a file or a folder (a link or
// reparse point is taken as itself, never followed). False when there is none.
bool GetPathIdentity(const std::wstring& path, FileIdentity* identity);

// True when `path` names exactly the file `identity` was taken from, with the same
// size and last write time.
bool PathStillNames(const std::wstring& path, const FileIdentity& identity);

// Replaces `target` with `source` as MoveReplace does, but only while `target`
// still names the file `read` was taken from (PathStillNames); false, with both
// left as they are, when it does not or the move fails.
bool MoveReplaceIfUnchanged(const std::wstring& source, const std::wstring& target,
                            const FileIdentity& read);

// The path in the form SQLite's open wants: UTF-8, resolved like every other path.
std::string PathForSqlite(const std::wstring& path);

// A file handle. Movable, not copyable; closes on destruction.
class File {
 public:
  // kDenyWriteAndDelete also asks for the right to delete the file through the
  // handle (RemoveIfUnchanged) and keeps others from renaming or deleting it while
  // it is open (Windows; on POSIX the same as kDenyWrite).
  enum class Share { kDenyWrite, kDenyNone, kDenyWriteAndDelete };

  File() = default;
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File();

  // Opens an existing regular file for reading. With kDenyWrite the open fails
  // while another handle may write the file, and writers are refused while it is
  // open (Windows; POSIX has no sharing modes and only opens). A link or reparse
  // point is not followed and a pipe or device is not opened: the open fails, and
  // never waits.
  static File OpenForRead(const std::wstring& path, Share share);
  // Creates a new file for writing; fails when anything, a dangling link
  // included, already has that name (O_EXCL | O_NOFOLLOW; CREATE_NEW).
  static File CreateNew(const std::wstring& path);

  bool is_open() const;
  // Reads up to `size` bytes; *got is 0 at end of file. False on a read error.
  bool Read(void* buffer, size_t size, size_t* got);
  // Reads the rest of the file into *data in place of what it held, keeping its
  // capacity: a buffer reused from file to file is allocated once, not once a
  // file, and a file that fits in it is read in one call (read; ReadFile on
  // Windows), its end seen in a second, without asking for the file's size. False,
  // with *data empty, on a read error or when more than `max_bytes` remain.
  bool ReadAll(std::string* data, size_t max_bytes);
  // Writes all `size` bytes or fails.
  bool Write(const void* data, size_t size);
  // Flushes written data to the disk (FlushFileBuffers / fsync).
  bool Flush();
  // Closes the handle; false when the close reported an error.
  bool Close();

  // The identity of the open file now (fstat; GetFileInformationByHandle).
  bool GetIdentity(FileIdentity* identity) const;
  // Deletes the file this handle has open, found at `path`, only while `path`
  // still names it as `read` describes it (PathStillNames), then closes the
  // handle. On Windows the deletion goes through the handle
  // (SetFileInformationByHandle, FILE_DISPOSITION_INFO) when it was opened with
  // kDenyWriteAndDelete, so that nothing can take the file's place between the
  // check and the deletion; elsewhere the path is unlinked right after the check.
  // False, with the file left in place, when it changed or cannot be deleted.
  bool RemoveIfUnchanged(const std::wstring& path, const FileIdentity& read);

 private:
  intptr_t handle_ = -1;
};

// Reads a whole file (File::OpenForRead with deny-write sharing) into *data;
// false, with *data empty, when it cannot or when it holds more than `max_bytes`.
bool ReadWholeFile(const std::wstring& path, std::string* data, size_t max_bytes);

// A whole file mapped read-only into memory (CreateFileW with read sharing,
// CreateFileMappingW, MapViewOfFile; open and mmap on POSIX). Movable, not
// copyable; unmaps and closes on destruction. An empty file opens with size 0 and
// no bytes to read, since an empty file cannot be mapped.
class MappedFile {
 public:
  MappedFile() = default;
  MappedFile(MappedFile&& other) noexcept;
  MappedFile& operator=(MappedFile&& other) noexcept;
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  ~MappedFile();

  // Closes what was open, then maps the existing file `path`; false when it cannot
  // be opened or mapped (a folder, a missing file, one held for writing on
  // Windows), and for what File::OpenForRead refuses (links, pipes, devices).
  bool Open(const std::wstring& path);
  void Close();

  bool is_open() const { return open_; }
  // The file's bytes, `size()` of them; null when the file is empty or not open.
  const uint8_t* data() const { return data_; }
  uint64_t size() const { return size_; }

 private:
  bool open_ = false;
  const uint8_t* data_ = nullptr;
  uint64_t size_ = 0;
  intptr_t file_ = -1;     // the file handle or descriptor
  intptr_t mapping_ = 0;   // the file-mapping handle (Windows)
};

// ---- Registry (HKEY_CURRENT_USER) --------------------------------------------

// Windows error codes, as the registry functions return them.
inline constexpr long kErrorSuccess = 0;
inline constexpr long kErrorFileNotFound = 2;
inline constexpr long kErrorAccessDenied = 5;
inline constexpr long kErrorMoreData = 234;

// Value types.
inline constexpr uint32_t kRegNone = 0;
inline constexpr uint32_t kRegSz = 1;
inline constexpr uint32_t kRegExpandSz = 2;
inline constexpr uint32_t kRegBinary = 3;
inline constexpr uint32_t kRegDword = 4;
inline constexpr uint32_t kRegMultiSz = 7;
inline constexpr uint32_t kRegQword = 11;

enum class RegAccess { kRead, kWrite };

// A key under HKEY_CURRENT_USER. Movable, not copyable; closes on destruction.
class RegKey {
 public:
  RegKey() = default;
  RegKey(RegKey&& other) noexcept;
  RegKey& operator=(RegKey&& other) noexcept;
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  ~RegKey();

  // RegCreateKeyExW: opens the subkey, creating it when missing.
  static long Create(const std::wstring& subkey, RegAccess access, RegKey* key);
  // RegOpenKeyExW: opens an existing subkey.
  static long Open(const std::wstring& subkey, RegAccess access, RegKey* key);

  bool is_open() const;
  // RegQueryValueExW: `data` may be null to ask for type and size only; *size is
  // the buffer size in bytes on entry and the value's size on return.
  long QueryValue(const std::wstring& name, uint32_t* type, uint8_t* data, uint32_t* size) const;
  // RegSetValueExW.
  long SetValue(const std::wstring& name, uint32_t type, const uint8_t* data, uint32_t size);
  // RegDeleteValueW.
  long DeleteValue(const std::wstring& name);
  void Close();

 private:
  void* handle_ = nullptr;
};

// Deletes a subkey with everything below it (tests clean up their own keys).
long RegDeleteKeyTree(const std::wstring& subkey);

// Tests: while `root` is not empty, every subkey named above is taken below
// HKEY_CURRENT_USER\<root> instead, so that tests never touch real settings.
void SetRegistryTestRoot(const std::wstring& root);

// ---- INI files ---------------------------------------------------------------

// The most an INI file may hold; a larger one reads as empty.
inline constexpr size_t kMaxIniBytes = size_t{4} << 20;

// How the bytes of an INI file are text.
enum class IniEncoding {
  kAnsi,  // the ANSI code page, as GetPrivateProfileStringW reads a file without BOM
  kUtf8,  // UTF-8 (a BOM at the start skipped), each line that is not valid UTF-8
          // read with the ANSI code page instead
};

// An INI file read and parsed once, then looked up as GetPrivateProfileStringW and
// GetPrivateProfileIntW look one up: sections and keys without regard to case, the
// first occurrence of a key counting; surrounding blanks and one pair of quotes
// cut; lines starting with ";" skipped. A lookup costs one search of a map, however
// long the file.
class IniFile {
 public:
  // A missing or unreadable file, one File::OpenForRead refuses or one larger than
  // kMaxIniBytes reads as empty.
  explicit IniFile(const std::wstring& path, IniEncoding encoding = IniEncoding::kAnsi);

  std::wstring ReadString(const std::wstring& section, const std::wstring& key,
                          const std::wstring& default_value) const;
  // The leading decimal digits (with an optional sign) of the value.
  int ReadInt(const std::wstring& section, const std::wstring& key, int default_value) const;

 private:
  // (section, key), both case-folded -> value.
  std::map<std::pair<std::wstring, std::wstring>, std::wstring> values_;
};

// ---- Time --------------------------------------------------------------------

// The broken-down time of SYSTEMTIME.
struct SystemTime {
  int year = 0, month = 0, day_of_week = 0, day = 0;
  int hour = 0, minute = 0, second = 0, milliseconds = 0;
};

// GetSystemTimeAsFileTime: UTC, 100-nanosecond units since 1601-01-01.
uint64_t GetSystemTimeAsFileTime();
// FileTimeToLocalFileTime (with the current offset from UTC, as Windows does).
bool FileTimeToLocalFileTime(uint64_t utc, uint64_t* local);
// FileTimeToSystemTime: fails for values of 2^63 and above.
bool FileTimeToSystemTime(uint64_t filetime, SystemTime* st);
// The runtime's local-time-to-calendar conversion (_mktime64 / mktime) with
// daylight saving left to the library: seconds since 1970-01-01 UTC, or -1.
int64_t MakeCalendarTime(const SystemTime& local);
// _time64: now, in seconds since 1970-01-01 UTC.
int64_t CurrentCalendarTime();

// ---- Text --------------------------------------------------------------------

// MultiByteToWideChar with the thread's ANSI code page (Windows-1252 on POSIX).
std::wstring WideFromAnsi(const std::string& bytes);
// Makes the console show UTF-8 output (Windows); nothing elsewhere.
void UseUtf8Console();
// True when the process's standard error is a terminal a person reads, not a file
// or a pipe (GetConsoleMode on the STD_ERROR_HANDLE on Windows; isatty elsewhere).
bool StandardErrorIsTerminal();
// UTF-8 <-> wide, for console output and file names.
std::string Utf8FromWide(const std::wstring& text);
std::wstring WideFromUtf8(const std::string& text);

}  // namespace platform
