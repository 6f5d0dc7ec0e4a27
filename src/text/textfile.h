// Line-oriented text files of the browser stores, and the byte-preserving
// conversion between their 8-bit text and wide strings.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

// Byte n <-> character n. Characters above 255, which no file of the stores holds,
// become '?'.
std::string BytesFromWide(const std::wstring& text);
std::wstring WideFromBytes(std::string_view bytes);

// A file could not be opened, read or written.
class CFileException : public std::runtime_error {
 public:
  explicit CFileException(const std::string& what) : std::runtime_error(what) {}
};

// The most a record file of the stores may hold unless its reader says otherwise.
inline constexpr uint64_t kMaxRecordFileBytes = uint64_t{64} << 20;

// How a record file is opened and read.
struct TextFileMode {
  // True: a Ctrl-Z byte ends the text, as text mode reads it. False: it is a
  // character like any other (formats whose writers never mean it as an end).
  bool ctrl_z_ends_text = true;
  // kDenyWriteAndDelete for a clean that may delete the file it read.
  platform::File::Share share = platform::File::Share::kDenyWrite;
};

// A text file opened for reading with deny-write sharing, read line by line in
// text mode: CR LF reads as LF, a Ctrl-Z byte ends the file (unless the mode says
// otherwise), lines have no length limit, and every byte becomes the character
// with the same number.
class CStdioFile {
 public:
  // Opens the file (a regular file only, see platform::File::OpenForRead) and takes
  // its identity; throws CFileException when it cannot. Reading past `max_bytes`
  // of the file throws CFileException too.
  explicit CStdioFile(const std::wstring& path, uint64_t max_bytes = kMaxRecordFileBytes,
                      TextFileMode mode = TextFileMode());
  CStdioFile(const CStdioFile&) = delete;
  CStdioFile& operator=(const CStdioFile&) = delete;
  virtual ~CStdioFile();

  // The next line without its LF (a CR not followed by LF stays). True when at
  // least one character, the LF included, was read; false only at the end.
  // Throws CFileException on a read error.
  virtual bool ReadString(std::wstring& line);

  // Starts keeping the raw bytes that the following reads consume.
  void BeginCapture();
  // The raw bytes consumed since BeginCapture() (or the last TakeCaptured()); the
  // capture goes on from here, empty.
  std::string TakeCaptured();
  // Where the line that ReadString last took from the file began: its offset among
  // the file's raw bytes.
  uint64_t LineStart() const { return line_start_; }
  // The raw bytes consumed since BeginCapture() (or the last TakeCaptured())
  // followed by every byte not yet consumed, up to the physical end of the file
  // (past a Ctrl-Z too): the file's exact unread rest. Reads the whole remainder;
  // throws CFileException.
  std::string TakeRawRest();
  // How many raw bytes the reads have consumed.
  uint64_t Offset() const { return consumed_; }

  // The identity the file had when it was opened (see platform::FileIdentity).
  const platform::FileIdentity& identity() const { return identity_; }
  // Deletes the file only while its path still names it unchanged, through the
  // open handle where the system can (platform::File::RemoveIfUnchanged); the file
  // is closed afterwards either way. False when it changed or cannot be deleted.
  bool RemoveIfUnchanged();
  // Closes the file; what was read stays.
  void Close() { file_.Close(); }

 private:
  bool Fill();
  int PeekRaw();
  void ConsumeRaw();

  std::wstring path_;
  platform::File file_;
  platform::FileIdentity identity_;
  bool ctrl_z_ends_text_;
  uint64_t left_;           // bytes the file may still give
  std::string buffer_;
  size_t pos_ = 0;
  bool file_end_ = false;   // the file has no more bytes
  bool text_end_ = false;   // a Ctrl-Z was met
  bool capturing_ = false;
  std::string captured_;
  uint64_t consumed_ = 0;  // raw bytes consumed
  uint64_t line_start_ = 0;
};

// A text file into which a reader can push lines back: the line pushed last is
// read first, before the file is read on.
class CStdioFileEx : public CStdioFile {
 public:
  explicit CStdioFileEx(const std::wstring& path, uint64_t max_bytes = kMaxRecordFileBytes,
                        TextFileMode mode = TextFileMode())
      : CStdioFile(path, max_bytes, mode) {}
  bool ReadString(std::wstring& line) override;
  virtual void UnreadString(std::wstring line);

 private:
  std::vector<std::wstring> pushed_;
};

// A record file being rewritten. The bytes go to a new file beside the target,
// which replaces the target only when Commit() has written, flushed and closed it
// completely; until then the target keeps its old content. An uncommitted new file
// is removed on destruction.
class CFile {
 public:
  // Creates the new file under a name nothing has yet (NewFileName(target), else
  // one of a few numbered names beside it), never writing through a file or link
  // left there; throws CFileException when it cannot.
  explicit CFile(const std::wstring& target);
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;
  ~CFile();

  // Throws CFileException when the bytes cannot all be written.
  void Write(const std::string& bytes);
  // Puts the new file in place of the target; throws CFileException on failure.
  void Commit();
  // The same, only while the target is still the file `read` opened, unchanged:
  // closes `read` (Windows cannot replace a file while it is open), then replaces
  // through platform::MoveReplaceIfUnchanged. Throws CFileException, leaving the
  // target as it is, when it changed.
  void CommitReplacing(CStdioFile& read);

  // How many names are tried in all.
  static constexpr int kNewFileNames = 8;
  // The name of the new file written beside `target` at the given attempt (0 to
  // kNewFileNames - 1): `target` + NewFileSuffix(attempt).
  static std::wstring NewFileName(const std::wstring& target, int attempt = 0);
  static std::string NewFileSuffix(int attempt);

 private:
  std::wstring target_;
  std::wstring new_file_;
  platform::File file_;
  bool committed_ = false;
};
