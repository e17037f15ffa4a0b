// The entries of an open book, in blocks of 2 MB at stable addresses.
//
// A book of 100,000 entries holds some 42 MB of them. Taken entry by entry
// from the C library, that memory arrives one 4 KB page at a time, each
// page a fault, and those faults cost more than reading the book itself:
// the blocks come from takeHugePages (huge_pages.h).
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "recordmanager/huge_pages.h"
#include "recordmanager/key_index.h"

namespace varnok::rm {

class EntryBlocks {
 public:
  static constexpr std::size_t kBlockBytes = kHugePageBytes;
  static constexpr std::size_t kPerBlock = kBlockBytes / sizeof(Entry);

  // A new entry, value-initialised, after the others; its address never
  // changes while the blocks live.
  Entry& add();
  std::size_t size() const { return size_; }
  Entry& operator[](std::size_t i) { return blocks_[i / kPerBlock][i % kPerBlock]; }
  const Entry& operator[](std::size_t i) const { return blocks_[i / kPerBlock][i % kPerBlock]; }

  template <typename Blocks, typename Value>
  class Iterator {
   public:
    Iterator(Blocks* blocks, std::size_t at) : blocks_(blocks), at_(at) {}
    Value& operator*() const { return (*blocks_)[at_]; }
    Iterator& operator++() {
      ++at_;
      return *this;
    }
    bool operator==(const Iterator& other) const { return at_ == other.at_; }

   private:
    Blocks* blocks_;
    std::size_t at_;
  };
  auto begin() { return Iterator<EntryBlocks, Entry>(this, 0); }
  auto end() { return Iterator<EntryBlocks, Entry>(this, size_); }
  auto begin() const { return Iterator<const EntryBlocks, const Entry>(this, 0); }
  auto end() const { return Iterator<const EntryBlocks, const Entry>(this, size_); }

 private:
  struct FreeBlock {
    void operator()(Entry* block) const;
  };
  std::vector<std::unique_ptr<Entry[], FreeBlock>> blocks_;
  std::size_t size_ = 0;
};

}  // namespace varnok::rm
