#include "recordmanager/entry_blocks.h"

#include <cstdlib>
#include <new>
#include <type_traits>

#include "recordmanager/huge_pages.h"

namespace varnok::rm {

static_assert(std::is_trivially_destructible_v<Entry>, "blocks are freed without destructors");

Entry& EntryBlocks::add() {
  if (size_ == blocks_.size() * kPerBlock) {
    blocks_.reserve(blocks_.size() + 1);
    blocks_.emplace_back(static_cast<Entry*>(takeHugePages(kBlockBytes)));
  }
  Entry* slot = &(*this)[size_];
  ++size_;
  return *new (slot) Entry();
}

void EntryBlocks::FreeBlock::operator()(Entry* block) const { std::free(block); }

}  // namespace varnok::rm
