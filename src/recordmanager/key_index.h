// The entries of an open book and the in-memory order of each of its keys.
#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <cstring>
#include <set>

#include "recordmanager/node_pool.h"
#include "recordmanager/record_manager.h"

namespace varnok::rm {

struct Entry;

inline constexpr std::size_t kMaxKeyLength = 15;
static_assert(kMaxKeyLength <= 16, "an index key holds 16 bytes");
static_assert([] {
  std::size_t widest = 0;
  for (const KeyPlace& place : kKeyPlaces) widest = place.length > widest ? place.length : widest;
  return widest == kMaxKeyLength;
}());

// A place in a key's order: the key's bytes (zero-padded to 16 and read as
// two big-endian words, so that comparing the words orders the bytes
// unsigned, as memcmp would) and then seq, so that duplicates keep their
// insertion order. Every key of one index has the same width, so the
// padding never decides. Kept in the index itself: a search touches only
// the tree's nodes, not the entries.
struct IndexKey {
  uint64_t high = 0;
  uint64_t low = 0;
  int64_t seq = 0;
  auto operator<=>(const IndexKey&) const = default;
};

inline IndexKey indexKey(const uint8_t* bytes, std::size_t length, int64_t seq) {
  uint8_t padded[16] = {};
  std::memcpy(padded, bytes, length);
  auto word = [&padded](int at) {
    uint64_t value = 0;
    for (int i = 0; i < 8; ++i) value = value << 8 | padded[at + i];
    return value;
  };
  return IndexKey{word(0), word(8), seq};
}

// The same key bytes, whatever the seq.
inline bool sameBytes(const IndexKey& a, const IndexKey& b) {
  return a.high == b.high && a.low == b.low;
}

struct IndexItem {
  IndexKey key;
  Entry* entry;
};

struct ItemOrder {
  using is_transparent = void;
  bool operator()(const IndexItem& a, const IndexItem& b) const { return a.key < b.key; }
  bool operator()(const IndexItem& a, const IndexKey& b) const { return a.key < b; }
  bool operator()(const IndexKey& a, const IndexItem& b) const { return a < b.key; }
};

// An entry must leave an index before its key bytes change, and come back
// after. The nodes come from the session's NodePool.
using KeyIndex = std::set<IndexItem, ItemOrder, PoolAllocator<IndexItem>>;

// One entry of an open book, as the session sees it.
struct Entry {
  int64_t seq = 0;       // insertion order; also the entry's row in the file
  bool inFile = false;   // the row is in the file (as loaded at Open)
  bool changed = false;  // data differs from the row in the file
  bool deleted = false;
  std::array<uint8_t, kRecordLength> data;
  // The entry's item in each index, so that Update and Delete take it out
  // without a search.
  std::array<KeyIndex::iterator, kKeyCount> places;
};

}  // namespace varnok::rm
