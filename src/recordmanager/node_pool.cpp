#include "recordmanager/node_pool.h"

#include <cstdlib>
#include <utility>

#include "recordmanager/huge_pages.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
// A node given back, or not yet taken, is poisoned: a use of it after its
// erase is reported as it would be for the C library's memory.
#define VARNOK_POISON(at, bytes) ASAN_POISON_MEMORY_REGION(at, bytes)
#define VARNOK_UNPOISON(at, bytes) ASAN_UNPOISON_MEMORY_REGION(at, bytes)
#else
#define VARNOK_POISON(at, bytes) ((void)(at), (void)(bytes))
#define VARNOK_UNPOISON(at, bytes) ((void)(at), (void)(bytes))
#endif

namespace varnok::rm {
namespace {

constexpr std::size_t kBlockBytes = kHugePageBytes;

}  // namespace

NodePool::~NodePool() {
  for (void* block : blocks_) {
    VARNOK_UNPOISON(block, kBlockBytes);
    std::free(block);
  }
}

void* NodePool::take(std::size_t bytes) {
  if (nodeBytes_ == 0) nodeBytes_ = rounded(bytes);
  if (free_ != nullptr) {
    Free* node = free_;
    VARNOK_UNPOISON(node, nodeBytes_);
    free_ = node->next;
    return node;
  }
  if (next_ == end_) {
    blocks_.reserve(blocks_.size() + 1);
    void* block = takeHugePages(kBlockBytes);
    VARNOK_POISON(block, kBlockBytes);
    blocks_.push_back(block);
    next_ = static_cast<char*>(block);
    end_ = next_ + kBlockBytes / nodeBytes_ * nodeBytes_;
  }
  VARNOK_UNPOISON(next_, nodeBytes_);
  return std::exchange(next_, next_ + nodeBytes_);
}

void NodePool::give(void* node) {
  free_ = new (node) Free{free_};
  VARNOK_POISON(static_cast<char*>(node) + sizeof(Free), nodeBytes_ - sizeof(Free));
}

}  // namespace varnok::rm
