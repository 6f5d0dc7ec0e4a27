// A reader of Internet Explorer's cache index files ("index.dat"): the file is
// mapped read-only and its chain of hash tables walked, yielding every "URL "
// record with its URL, cache subfolder and data file name. Every value is read
// only when it lies wholly inside the file; the walk never leaves the file and
// always ends.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>

#include "platform/platform.h"

class CCacheIndex {
 public:
  CCacheIndex() = default;
  CCacheIndex(const CCacheIndex&) = delete;
  CCacheIndex& operator=(const CCacheIndex&) = delete;
  ~CCacheIndex() { Close(); }

  // Maps the file and checks its header: the size field must be the file's size,
  // and the first hash table must begin with "HASH". False when it is not usable.
  bool Open(const std::wstring& path);
  // The same for index bytes already in memory, which must outlive the walk.
  bool OpenBytes(const uint8_t* data, uint64_t size);
  // The next entry: its URL, cache subfolder name and data file name, NUL-terminated
  // 8-bit texts that stay valid until the next call or Close(). False when the walk
  // is over.
  bool Next(const char** url, const char** subfolder, const char** file_name);
  // Starts the walk over from the first table, over the same bytes; false when
  // nothing is open.
  bool Rewind();
  void Close();

 private:
  uint32_t Read32(uint64_t offset) const;
  bool Inside(uint64_t offset, uint64_t length) const;
  // The offset of the NUL that ends a text starting at `start`, before `end`.
  bool Terminated(uint64_t start, uint64_t end) const;
  void EnterTable(uint64_t table);
  // Checks the header of the bytes and starts the walk at the first hash table.
  bool Start(const uint8_t* data, uint64_t size);

  platform::MappedFile file_;
  const uint8_t* data_ = nullptr;  // the index bytes, null when closed
  uint64_t size_ = 0;
  uint64_t table_ = 0;        // the hash table being walked
  uint64_t table_length_ = 0;
  uint64_t next_table_ = 0;   // 0 for none
  uint64_t entry_ = 0;        // the next hash entry to examine
  uint64_t entries_left_ = 0; // more entries than the file can hold are never examined
  std::unordered_set<uint64_t> tables_seen_;
  char subfolder_[9] = {};
};
