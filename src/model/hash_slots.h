// A set of texts kept elsewhere, indexed for lookup by hashing: open addressing
// over a power of two of slots, each holding an entry number + 1, or 0 when free.
// The caller's key_of(entry) gives an entry's text.
//
// A text is hashed from its last character to its first, so that a caller walking
// a text backwards has the hash of every suffix on the way: Step adds the
// character before what was hashed so far, Finish gives the hash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>
#include <vector>

namespace hash_slots {

inline uint64_t Step(uint64_t state, uint64_t c) {
  return (state + c + 1) * 0x9E3779B97F4A7C15ull;
}

inline uint64_t Finish(uint64_t state) {
  state ^= state >> 33;  // the low bits, which pick the slot, from all of them
  state *= 0xFF51AFD7ED558CCDull;
  return state ^ (state >> 33);
}

template <typename CharT>
uint64_t Hash(std::basic_string_view<CharT> text) {
  uint64_t state = 0;
  for (size_t i = text.size(); i-- > 0;) {
    state = Step(state, static_cast<std::make_unsigned_t<CharT>>(text[i]));
  }
  return Finish(state);
}

// Slots for `entries` entries, at most half of them used.
inline std::vector<uint32_t> Make(size_t entries) {
  size_t size = 16;
  while (size < entries * 2) size *= 2;
  return std::vector<uint32_t>(size, 0);
}

// The slot that holds `key` (whose Hash is `hash`), or the free slot where it would go.
template <typename CharT, typename KeyOf>
size_t Probe(const std::vector<uint32_t>& slots, uint64_t hash, std::basic_string_view<CharT> key,
             const KeyOf& key_of) {
  const size_t mask = slots.size() - 1;
  for (size_t slot = static_cast<size_t>(hash) & mask;; slot = (slot + 1) & mask) {
    if (slots[slot] == 0 || key_of(slots[slot] - 1) == key) return slot;
  }
}

// The entry whose text is `key` (whose Hash is `hash`), + 1; 0 when none is.
template <typename CharT, typename KeyOf>
uint32_t Find(const std::vector<uint32_t>& slots, uint64_t hash, std::basic_string_view<CharT> key,
              const KeyOf& key_of) {
  return slots.empty() ? 0 : slots[Probe(slots, hash, key, key_of)];
}

template <typename CharT, typename KeyOf>
uint32_t Find(const std::vector<uint32_t>& slots, std::basic_string_view<CharT> key,
              const KeyOf& key_of) {
  return slots.empty() ? 0 : slots[Probe(slots, Hash(key), key, key_of)];
}

// Adds entry `entry` under its text; false (and nothing added) when an entry with
// the same text is there already.
template <typename KeyOf>
bool Insert(std::vector<uint32_t>& slots, uint32_t entry, const KeyOf& key_of) {
  const auto key = key_of(entry);
  const size_t slot = Probe(slots, Hash(key), key, key_of);
  if (slots[slot] != 0) return false;
  slots[slot] = entry + 1;
  return true;
}

}  // namespace hash_slots
