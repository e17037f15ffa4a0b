// Memory in whole 2 MB blocks, aligned and offered to the kernel for huge
// pages, for the large arrays of a run: a book's entries, the nodes of its
// key orders, the report's tables.
//
// Memory fresh from the system arrives one 4 KB page at a time, each page a
// fault, and on virtual machines a fault can cost more than filling the
// page (bench_memory_faults measures it: 10 to 15 microseconds on the
// development machine). A 2 MB block arrives in one fault where the kernel
// has a huge page to give; where it has none, it is mapped in small pages
// as any other memory.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>

namespace varnok::rm {

inline constexpr std::size_t kHugePageBytes = std::size_t(2) << 20;

// At least `bytes` (rounded up to whole blocks), aligned to a block; freed
// with std::free. Throws std::bad_alloc.
void* takeHugePages(std::size_t bytes);

// A standard allocator for large arrays: an allocation of a block or more
// is made of whole blocks; smaller ones come from the C library as usual.
template <typename T>
class HugePageAllocator {
 public:
  using value_type = T;

  HugePageAllocator() = default;
  template <typename U>
  HugePageAllocator(const HugePageAllocator<U>&) {}  // NOLINT: as any allocator

  T* allocate(std::size_t n) {
    if (n * sizeof(T) < kHugePageBytes) return std::allocator<T>().allocate(n);
    return static_cast<T*>(takeHugePages(n * sizeof(T)));
  }
  void deallocate(T* p, std::size_t n) {
    if (n * sizeof(T) < kHugePageBytes) return std::allocator<T>().deallocate(p, n);
    std::free(p);
  }
  template <typename U>
  bool operator==(const HugePageAllocator<U>&) const { return true; }
};

}  // namespace varnok::rm
