#include "text/textfile.h"

#include <utility>

namespace {

constexpr size_t kReadChunk = 64 * 1024;
constexpr int kEnd = -1;
constexpr unsigned char kCtrlZ = 0x1A;

}  // namespace

std::string BytesFromWide(const std::wstring& text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (wchar_t c : text) {
    const auto code = static_cast<uint32_t>(c);
    bytes += code <= 0xFF ? static_cast<char>(code) : '?';
  }
  return bytes;
}

std::wstring WideFromBytes(std::string_view bytes) {
  const auto* first = reinterpret_cast<const unsigned char*>(bytes.data());
  return std::wstring(first, first + bytes.size());
}

// ---- CStdioFile

CStdioFile::CStdioFile(const std::wstring& path, uint64_t max_bytes, TextFileMode mode)
    : path_(path),
      file_(platform::File::OpenForRead(path, mode.share)),
      ctrl_z_ends_text_(mode.ctrl_z_ends_text),
      left_(max_bytes) {
  if (!file_.is_open() || !file_.GetIdentity(&identity_)) {
    throw CFileException("cannot open " + platform::Utf8FromWide(path));
  }
}

bool CStdioFile::RemoveIfUnchanged() { return file_.RemoveIfUnchanged(path_, identity_); }

CStdioFile::~CStdioFile() = default;

bool CStdioFile::Fill() {
  if (file_end_) return false;
  buffer_.erase(0, pos_);
  pos_ = 0;
  const size_t old_size = buffer_.size();
  buffer_.resize(old_size + kReadChunk);
  size_t got = 0;
  const bool ok = file_.Read(buffer_.data() + old_size, kReadChunk, &got);
  buffer_.resize(old_size + got);
  if (!ok) throw CFileException("read error");
  if (got > left_) throw CFileException("file too large");
  left_ -= got;
  if (got == 0) file_end_ = true;
  return got > 0;
}

int CStdioFile::PeekRaw() {
  if (pos_ >= buffer_.size() && !Fill()) return kEnd;
  return static_cast<unsigned char>(buffer_[pos_]);
}

void CStdioFile::ConsumeRaw() {
  if (capturing_) captured_ += buffer_[pos_];
  ++pos_;
  ++consumed_;
}

bool CStdioFile::ReadString(std::wstring& line) {
  line.clear();
  line_start_ = consumed_;
  bool read_any = false;
  while (!text_end_) {
    const int c = PeekRaw();
    if (c == kEnd) break;
    if (c == kCtrlZ && ctrl_z_ends_text_) {
      text_end_ = true;
      break;
    }
    ConsumeRaw();
    read_any = true;
    if (c == '\r' && PeekRaw() == '\n') continue;  // CR LF reads as LF
    if (c == '\n') break;
    line += static_cast<wchar_t>(c);
  }
  return read_any;
}

void CStdioFile::BeginCapture() {
  capturing_ = true;
  captured_.clear();
}

std::string CStdioFile::TakeCaptured() { return std::exchange(captured_, std::string()); }

std::string CStdioFile::TakeRawRest() {
  while (Fill()) {
  }
  std::string rest = std::move(captured_);
  rest.append(buffer_, pos_, std::string::npos);
  pos_ = buffer_.size();
  captured_.clear();
  capturing_ = false;
  return rest;
}

// ---- CTextLines

CTextLines::CTextLines(std::string_view bytes, bool ctrl_z_ends_text)
    : text_(bytes.substr(0, ctrl_z_ends_text ? bytes.find(static_cast<char>(kCtrlZ))
                                             : std::string_view::npos)) {}

bool CTextLines::Next(std::string_view* line) {
  if (pos_ >= text_.size()) return false;
  const size_t lf = text_.find('\n', pos_);
  const size_t end = lf == std::string_view::npos ? text_.size() : lf;
  *line = text_.substr(pos_, end - pos_);
  if (lf != std::string_view::npos && !line->empty() && line->back() == '\r') {
    line->remove_suffix(1);
  }
  pos_ = lf == std::string_view::npos ? end : lf + 1;
  return true;
}

// ---- CStdioFileEx

bool CStdioFileEx::ReadString(std::wstring& line) {
  if (!pushed_.empty()) {
    line = std::move(pushed_.back());
    pushed_.pop_back();
    return true;
  }
  return CStdioFile::ReadString(line);
}

void CStdioFileEx::UnreadString(std::wstring line) { pushed_.push_back(std::move(line)); }

// ---- CFile

std::string CFile::NewFileSuffix(int attempt) {
  return attempt == 0 ? ".tsnew.tmp" : ".tsnew" + std::to_string(attempt) + ".tmp";
}

std::wstring CFile::NewFileName(const std::wstring& target, int attempt) {
  return target + WideFromBytes(NewFileSuffix(attempt));
}

CFile::CFile(const std::wstring& target) : target_(target) {
  for (int attempt = 0; attempt < kNewFileNames && !file_.is_open(); ++attempt) {
    new_file_ = NewFileName(target, attempt);
    file_ = platform::File::CreateNew(new_file_);
  }
  if (!file_.is_open()) throw CFileException("cannot create " + platform::Utf8FromWide(new_file_));
}

CFile::~CFile() {
  if (!committed_) {
    file_.Close();
    platform::RemoveFile(new_file_);
  }
}

void CFile::Write(std::string_view bytes) {
  if (!file_.Write(bytes.data(), bytes.size())) throw CFileException("write error");
}

void CFile::Commit() {
  if (!file_.Flush() || !file_.Close()) throw CFileException("write error");
  if (!platform::MoveReplace(new_file_, target_)) throw CFileException("cannot replace");
  committed_ = true;
}

void CFile::CommitReplacing(CStdioFile& read) {
  if (!file_.Flush() || !file_.Close()) throw CFileException("write error");
  read.Close();
  ReplaceIfUnchanged(read.identity());
}

void CFile::CommitReplacing(platform::File& read, const platform::FileIdentity& identity) {
  if (!file_.Flush() || !file_.Close()) throw CFileException("write error");
  read.Close();
  ReplaceIfUnchanged(identity);
}

void CFile::ReplaceIfUnchanged(const platform::FileIdentity& read) {
  if (!platform::MoveReplaceIfUnchanged(new_file_, target_, read)) {
    throw CFileException("the file changed or cannot be replaced");
  }
  committed_ = true;
}
