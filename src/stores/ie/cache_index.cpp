// The cache index layout (little-endian, 32-bit offsets from the start of the
// file): the file size at 28, the first hash table at 32, the names of up to 32
// cache subfolders at 80 + 12 * i (8 characters each). A hash table begins with
// "HASH", its length in 128-byte blocks and the offset of the next table, and holds
// 8-byte entries from its 16th byte on: a hash value with flags, and the offset of
// a record. A "URL " record gives its length in blocks at 4, the offset of its URL
// at 52, its subfolder index at 56 and the offset of its data file name at 60.
#include "stores/ie/cache_index.h"

#include <cstring>

namespace {

constexpr uint64_t kBlock = 128;
constexpr uint64_t kSizeField = 28;
constexpr uint64_t kFirstTableField = 32;
constexpr uint64_t kSubfolderTable = 80;
constexpr uint64_t kSubfolderEntry = 12;
constexpr uint32_t kSubfolderCount = 32;
constexpr uint64_t kHashEntrySize = 8;
constexpr uint64_t kFirstHashEntry = 16;
constexpr uint8_t kFreeEntry = 3;
constexpr uint64_t kRecordUrlField = 52;
constexpr uint64_t kRecordSubfolderField = 56;
constexpr uint64_t kRecordFileNameField = 60;
constexpr uint64_t kMinRecordLength = 56;

}  // namespace

bool CCacheIndex::Inside(uint64_t offset, uint64_t length) const {
  return offset <= size_ && length <= size_ - offset;
}

uint32_t CCacheIndex::Read32(uint64_t offset) const {
  if (!Inside(offset, 4)) return 0;
  const uint8_t* p = data_ + offset;
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

bool CCacheIndex::Terminated(uint64_t start, uint64_t end) const {
  if (end > size_) return false;
  for (uint64_t i = start; i < end; ++i) {
    if (data_[i] == 0) return true;
  }
  return false;
}

void CCacheIndex::EnterTable(uint64_t table) {
  table_ = table;
  next_table_ = Read32(table + 8);
  table_length_ = static_cast<uint64_t>(Read32(table + 4)) * kBlock;
  entry_ = table + kFirstHashEntry;
  tables_seen_.insert(table);
}

bool CCacheIndex::Open(const std::wstring& path) {
  Close();
  return file_.Open(path) && Start(file_.data(), file_.size());
}

bool CCacheIndex::OpenBytes(const uint8_t* data, uint64_t size) {
  Close();
  return Start(data, size);
}

bool CCacheIndex::Start(const uint8_t* data, uint64_t size) {
  data_ = data;
  size_ = data == nullptr ? 0 : size;
  const uint64_t table = Read32(kFirstTableField);
  if (size_ <= 36 || size_ >= (uint64_t{1} << 32) || Read32(kSizeField) != size_ ||
      !Inside(table, 4) || std::memcmp(data_ + table, "HASH", 4) != 0) {
    Close();
    return false;
  }
  // Hash tables do not overlap, so a sound file holds fewer entries than this.
  entries_left_ = size_ / kHashEntrySize;
  EnterTable(table);
  return true;
}

bool CCacheIndex::Rewind() {
  if (data_ == nullptr) return false;
  tables_seen_.clear();
  return Start(data_, size_);
}

void CCacheIndex::Close() {
  file_.Close();
  data_ = nullptr;
  size_ = 0;
  table_ = table_length_ = next_table_ = entry_ = entries_left_ = 0;
  tables_seen_.clear();
  subfolder_[0] = '\0';
}

bool CCacheIndex::Next(const char** url, const char** subfolder, const char** file_name) {
  if (data_ == nullptr) return false;
  for (;;) {
    if (entry_ >= table_ + table_length_) {
      // A chain that comes back to a table it has walked ends there.
      if (next_table_ == 0 || tables_seen_.count(next_table_) != 0) return false;
      EnterTable(next_table_);
      continue;
    }
    if (!Inside(entry_, kHashEntrySize) || entries_left_ == 0) return false;
    const uint64_t entry = entry_;
    entry_ += kHashEntrySize;
    --entries_left_;

    const uint64_t record = Read32(entry + 4);
    if (data_[entry] == kFreeEntry || record == 0 || !Inside(record, 8)) continue;
    if (std::memcmp(data_ + record, "URL ", 4) != 0) continue;
    const uint64_t record_length = static_cast<uint64_t>(Read32(record + 4)) * kBlock;
    if (!Inside(record, record_length) || record_length <= kMinRecordLength) continue;
    const uint64_t record_end = record + record_length;
    const uint64_t url_offset = Read32(record + kRecordUrlField);
    const uint64_t name_offset = Read32(record + kRecordFileNameField);
    if (url_offset >= record_length || name_offset >= record_length) continue;
    if (!Terminated(record + url_offset, record_end) ||
        !Terminated(record + name_offset, record_end)) {
      continue;
    }
    const uint32_t index = data_[record + kRecordSubfolderField];
    const uint64_t folder_entry = kSubfolderTable + kSubfolderEntry * index;
    if (index >= kSubfolderCount || !Inside(folder_entry, kSubfolderEntry)) continue;
    std::memcpy(subfolder_, data_ + folder_entry, 8);
    subfolder_[8] = '\0';
    *url = reinterpret_cast<const char*>(data_ + record + url_offset);
    *subfolder = subfolder_;
    *file_name = reinterpret_cast<const char*>(data_ + record + name_offset);
    return true;
  }
}
