// A set of texts kept elsewhere, indexed for lookup by hashing: open addressing
// over a power of two of slots, each holding an entry number + 1, or 0 when free.
// The caller's key_of(entry) gives an entry's text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace hash_slots {

template <typename CharT>
uint64_t Hash(std::basic_string_view<CharT> text) {
  uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (const CharT c : text) {
    hash ^= static_cast<uint64_t>(c);
    hash *= 1099511628211ull;
  }
  return hash ^ (hash >> 29);
}

// Slots for `entries` entries, at most half of them used.
inline std::vector<uint32_t> Make(size_t entries) {
  size_t size = 16;
  while (size < entries * 2) size *= 2;
  return std::vector<uint32_t>(size, 0);
}

// The slot that holds `key`, or the free slot where it would go.
template <typename CharT, typename KeyOf>
size_t Probe(const std::vector<uint32_t>& slots, std::basic_string_view<CharT> key,
             const KeyOf& key_of) {
  const size_t mask = slots.size() - 1;
  for (size_t slot = static_cast<size_t>(Hash(key)) & mask;; slot = (slot + 1) & mask) {
    if (slots[slot] == 0 || key_of(slots[slot] - 1) == key) return slot;
  }
}

// The entry whose text is `key`, + 1; 0 when none is.
template <typename CharT, typename KeyOf>
uint32_t Find(const std::vector<uint32_t>& slots, std::basic_string_view<CharT> key,
              const KeyOf& key_of) {
  return slots.empty() ? 0 : slots[Probe(slots, key, key_of)];
}

// Adds entry `entry` under its text; false (and nothing added) when an entry with
// the same text is there already.
template <typename KeyOf>
bool Insert(std::vector<uint32_t>& slots, uint32_t entry, const KeyOf& key_of) {
  const size_t slot = Probe(slots, key_of(entry), key_of);
  if (slots[slot] != 0) return false;
  slots[slot] = entry + 1;
  return true;
}

}  // namespace hash_slots
