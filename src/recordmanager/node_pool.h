// Memory for the nodes of an open book's key orders.
//
// Each order is a tree with one node per entry: hundreds of thousands of
// small allocations for a large book, which from the C library land on
// fresh 4 KB pages one fault at a time. Here they come from 2 MB blocks
// (huge_pages.h), as the entries do, and a node given back is the next one
// taken. Everything goes with the pool, when the session ends.
#pragma once

#include <cstddef>
#include <new>
#include <type_traits>
#include <vector>

namespace varnok::rm {

class NodePool {
 public:
  NodePool() = default;
  NodePool(const NodePool&) = delete;
  NodePool& operator=(const NodePool&) = delete;
  ~NodePool();

  // Room for one node of `bytes`; the first call fixes the pool's size.
  void* take(std::size_t bytes);
  void give(void* node);
  std::size_t nodeBytes() const { return nodeBytes_; }

  static constexpr std::size_t rounded(std::size_t bytes) {
    return (bytes + alignof(std::max_align_t) - 1) / alignof(std::max_align_t) *
           alignof(std::max_align_t);
  }

 private:
  struct Free {
    Free* next;
  };
  std::size_t nodeBytes_ = 0;
  Free* free_ = nullptr;
  char* next_ = nullptr;  // the unused rest of the newest block
  char* end_ = nullptr;
  std::vector<void*> blocks_;
};

// A standard allocator over a NodePool for node-based containers: single
// nodes of the pool's size come from the pool, anything else (and
// everything without a pool) from the C library.
template <typename T>
class PoolAllocator {
 public:
  using value_type = T;
  using propagate_on_container_move_assignment = std::true_type;
  using propagate_on_container_swap = std::true_type;

  PoolAllocator() = default;
  explicit PoolAllocator(NodePool* pool) : pool_(pool) {}
  template <typename U>
  PoolAllocator(const PoolAllocator<U>& other) : pool_(other.pool()) {}  // NOLINT: as any allocator

  T* allocate(std::size_t n) {
    if (pooled(n)) return static_cast<T*>(pool_->take(sizeof(T)));
    return std::allocator<T>().allocate(n);
  }
  void deallocate(T* p, std::size_t n) {
    if (pooled(n)) return pool_->give(p);
    std::allocator<T>().deallocate(p, n);
  }
  NodePool* pool() const { return pool_; }
  template <typename U>
  bool operator==(const PoolAllocator<U>& other) const { return pool_ == other.pool(); }

 private:
  bool pooled(std::size_t n) const {
    return pool_ != nullptr && n == 1 && alignof(T) <= alignof(std::max_align_t) &&
           (pool_->nodeBytes() == 0 || pool_->nodeBytes() == NodePool::rounded(sizeof(T)));
  }
  NodePool* pool_ = nullptr;
};

}  // namespace varnok::rm
