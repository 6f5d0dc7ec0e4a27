// Parts of the seam that are the same on every system.
#include "platform/common.h"

#include "platform/platform.h"
#include "platform/race_hook.h"

#include <algorithm>
#include <utility>

namespace platform {
namespace {

std::wstring& ProfileRoot() {
  static std::wstring root;
  return root;
}

std::wstring TrimIni(const std::wstring& text) {
  const size_t first = text.find_first_not_of(L" \t\r");
  if (first == std::wstring::npos) return std::wstring();
  const size_t last = text.find_last_not_of(L" \t\r");
  return text.substr(first, last - first + 1);
}

ReplaceHook& Hook() {
  static ReplaceHook hook;
  return hook;
}

std::wstring& RegistryTestRoot() {
  static std::wstring root;
  return root;
}

}  // namespace

void SetReplaceHookForTests(ReplaceHook hook) { Hook() = std::move(hook); }

void RunReplaceHook(const std::wstring& path) {
  if (Hook()) Hook()(path);
}

void SetRegistryTestRoot(const std::wstring& root) { RegistryTestRoot() = root; }

std::wstring RegistryPath(const std::wstring& subkey) {
  const std::wstring& root = RegistryTestRoot();
  return root.empty() ? subkey : root + L"\\" + subkey;
}

void SetProfileRoot(const std::wstring& root) { ProfileRoot() = root; }

const std::wstring& GetProfileRoot() { return ProfileRoot(); }

bool KnownFolderUnderRoot(KnownFolder folder, std::wstring* path) {
  const std::wstring& root = ProfileRoot();
  if (root.empty()) return false;
  switch (folder) {
    case KnownFolder::Profile:
      *path = root;
      return true;
    case KnownFolder::AppData:
      *path = root + L"\\AppData\\Roaming";
      return true;
    case KnownFolder::LocalAppData:
      *path = root + L"\\AppData\\Local";
      return true;
    case KnownFolder::Cookies:
      *path = root + L"\\AppData\\Roaming\\Microsoft\\Windows\\Cookies";
      return true;
  }
  return false;
}

// Handles move without closing twice; each system closes its own kind in Close().
File::File(File&& other) noexcept : handle_(other.handle_) { other.handle_ = -1; }

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    other.handle_ = -1;
  }
  return *this;
}

File::~File() { Close(); }

RegKey::RegKey(RegKey&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }

RegKey& RegKey::operator=(RegKey&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    other.handle_ = nullptr;
  }
  return *this;
}

RegKey::~RegKey() { Close(); }

IniFile::IniFile(const std::wstring& path, IniEncoding encoding) {
  std::string bytes;
  if (!ReadWholeFile(path, &bytes, kMaxIniBytes)) return;
  static const char kUtf8Bom[] = "\xEF\xBB\xBF";
  if (encoding == IniEncoding::kUtf8 && bytes.compare(0, 3, kUtf8Bom) == 0) bytes.erase(0, 3);
  std::wstring section;  // case-folded
  size_t pos = 0;
  while (pos <= bytes.size()) {
    size_t end = bytes.find('\n', pos);
    if (end == std::string::npos) end = bytes.size();
    const std::string raw = bytes.substr(pos, end - pos);
    pos = end + 1;
    std::wstring decoded;
    if (encoding == IniEncoding::kUtf8) {
      decoded = WideFromUtf8(raw);
      // Valid UTF-8 and only that comes back byte for byte.
      if (Utf8FromWide(decoded) != raw) decoded = WideFromAnsi(raw);
    } else {
      decoded = WideFromAnsi(raw);
    }
    const std::wstring line = TrimIni(decoded);
    if (line.empty() || line[0] == L';') continue;
    if (line[0] == L'[') {
      const size_t close = line.find(L']');
      section = FoldCase(
          TrimIni(line.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1)));
      continue;
    }
    const size_t eq = line.find(L'=');
    if (eq == std::wstring::npos) continue;
    std::wstring value = TrimIni(line.substr(eq + 1));
    if (value.size() >= 2 && (value[0] == L'"' || value[0] == L'\'') && value.back() == value[0]) {
      value = value.substr(1, value.size() - 2);
    }
    values_.emplace(std::make_pair(section, FoldCase(TrimIni(line.substr(0, eq)))), std::move(value));
  }
}

std::wstring IniFile::ReadString(const std::wstring& section, const std::wstring& key,
                                 const std::wstring& default_value) const {
  const auto found = values_.find(std::make_pair(FoldCase(section), FoldCase(key)));
  return found == values_.end() ? default_value : found->second;
}

int IniFile::ReadInt(const std::wstring& section, const std::wstring& key,
                     int default_value) const {
  const auto found = values_.find(std::make_pair(FoldCase(section), FoldCase(key)));
  if (found == values_.end()) return default_value;
  const std::wstring& value = found->second;
  size_t i = 0;
  bool negative = false;
  if (i < value.size() && (value[i] == L'-' || value[i] == L'+')) negative = value[i++] == L'-';
  int64_t number = 0;
  for (; i < value.size() && value[i] >= L'0' && value[i] <= L'9'; ++i) {
    number = number * 10 + (value[i] - L'0');
    if (number > 0xFFFFFFFFLL) number = 0xFFFFFFFFLL;
  }
  return static_cast<int>(static_cast<uint32_t>(negative ? -number : number));
}

bool File::ReadAll(std::string* data, size_t max_bytes) {
  // The first read gets the room the buffer had (within bounds); a file that fills
  // it doubles it.
  size_t room = std::clamp(data->capacity(), size_t{4} << 10, size_t{64} << 10);
  data->clear();
  size_t have = 0;
  for (;;) {
    if (have == data->size()) {
      const size_t left = max_bytes - have;  // have <= max_bytes here
      data->resize(have + (left < room ? left + 1 : room));
    }
    size_t got = 0;
    if (!Read(data->data() + have, data->size() - have, &got)) break;
    if (got == 0) {
      data->resize(have);
      return true;
    }
    have += got;
    if (have > max_bytes) break;
    room = have;
  }
  data->clear();
  return false;
}

bool ReadWholeFile(const std::wstring& path, std::string* data, size_t max_bytes) {
  data->clear();
  File file = File::OpenForRead(path, File::Share::kDenyWrite);
  return file.is_open() && file.ReadAll(data, max_bytes);
}

bool IsWindowsName(const std::wstring& name) {
  if (name.empty() || name == L"." || name == L".." || name.back() == L'.' ||
      name.back() == L' ') {
    return false;
  }
  for (const wchar_t c : name) {
    if (c < 32) return false;
    switch (c) {
      case L'\\': case L'/': case L':': case L'*': case L'?': case L'"': case L'<': case L'>':
      case L'|':
        return false;
      default:
        break;
    }
  }
  return true;
}

bool IsWindowsPath(const std::wstring& path, bool relative) {
  size_t start = 0;
  if (path.size() >= 2 && path[1] == L':' &&
      ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'))) {
    start = 2;
  }
  const bool rooted = start < path.size() && (path[start] == L'\\' || path[start] == L'/');
  if (relative ? (start != 0 || rooted) : !rooted) return false;
  size_t pos = start;
  while (pos < path.size()) {
    size_t end = path.find_first_of(L"\\/", pos);
    if (end == std::wstring::npos) end = path.size();
    // Doubled separators are one, as Windows reads them.
    if (end > pos && !IsWindowsName(path.substr(pos, end - pos))) return false;
    pos = end + 1;
  }
  return relative ? !path.empty() : true;
}

std::string Utf8FromWide(const std::wstring& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = static_cast<uint32_t>(text[i]);
    if (sizeof(wchar_t) == 2 && c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
      uint32_t low = static_cast<uint32_t>(text[i + 1]);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = 0xFFFD;
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::wstring WideFromUtf8(const std::string& text) {
  std::wstring out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const auto b = static_cast<unsigned char>(text[i]);
    uint32_t c = 0xFFFD;
    size_t len = 1;
    if (b < 0x80) {
      c = b;
    } else if (b >= 0xC2 && b < 0xE0) {
      len = 2;
    } else if (b >= 0xE0 && b < 0xF0) {
      len = 3;
    } else if (b >= 0xF0 && b < 0xF5) {
      len = 4;
    }
    if (len > 1) {
      bool ok = i + len <= text.size();
      uint32_t v = b & (0x7F >> len);
      for (size_t k = 1; ok && k < len; ++k) {
        const auto cont = static_cast<unsigned char>(text[i + k]);
        if ((cont & 0xC0) != 0x80) ok = false;
        v = (v << 6) | (cont & 0x3F);
      }
      const uint32_t min[] = {0, 0, 0x80, 0x800, 0x10000};
      if (ok && v >= min[len] && v <= 0x10FFFF && !(v >= 0xD800 && v <= 0xDFFF)) {
        c = v;
      } else {
        len = 1;
      }
    }
    if (sizeof(wchar_t) == 2 && c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<wchar_t>(0xD800 + (c >> 10));
      out += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<wchar_t>(c);
    }
    i += len;
  }
  return out;
}

}  // namespace platform

namespace platform {

// ---- MappedFile: the parts that do not touch the system

MappedFile::MappedFile(MappedFile&& other) noexcept
    : open_(other.open_),
      data_(other.data_),
      size_(other.size_),
      file_(other.file_),
      mapping_(other.mapping_) {
  other.open_ = false;
  other.data_ = nullptr;
  other.size_ = 0;
  other.file_ = -1;
  other.mapping_ = 0;
}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
  if (this != &other) {
    Close();
    open_ = other.open_;
    data_ = other.data_;
    size_ = other.size_;
    file_ = other.file_;
    mapping_ = other.mapping_;
    other.open_ = false;
    other.data_ = nullptr;
    other.size_ = 0;
    other.file_ = -1;
    other.mapping_ = 0;
  }
  return *this;
}

MappedFile::~MappedFile() { Close(); }

}  // namespace platform
