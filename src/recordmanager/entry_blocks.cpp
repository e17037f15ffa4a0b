#include "recordmanager/entry_blocks.h"

#include <sys/mman.h>

#include <cstdlib>
#include <new>
#include <type_traits>

namespace varnok::rm {

static_assert(std::is_trivially_destructible_v<Entry>, "blocks are freed without destructors");

Entry& EntryBlocks::add() {
  if (size_ == blocks_.size() * kPerBlock) {
    void* memory = std::aligned_alloc(kBlockBytes, kBlockBytes);
    if (memory == nullptr) throw std::bad_alloc();
    // Only advice: where the kernel has no huge page to give, the block is
    // mapped in small pages as any other memory.
    ::madvise(memory, kBlockBytes, MADV_HUGEPAGE);
    blocks_.emplace_back(static_cast<Entry*>(memory));
  }
  Entry* slot = &(*this)[size_];
  ++size_;
  return *new (slot) Entry();
}

void EntryBlocks::FreeBlock::operator()(Entry* block) const { std::free(block); }

}  // namespace varnok::rm
