// An allocator for the report's large arrays (a book's worth of entries or
// stock numbers). Memory fresh from the system arrives one 4 KB page at a
// time, each page a fault, and on virtual machines those faults cost more
// than filling the array. An allocation of 2 MB or more is made of whole
// 2 MB blocks offered to the kernel for huge pages: one fault per block.
// Smaller ones come from the C library as usual.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <new>

namespace varnok::report {

template <typename T>
class HugePageAllocator {
 public:
  using value_type = T;
  static constexpr std::size_t kBlockBytes = std::size_t(2) << 20;

  HugePageAllocator() = default;
  template <typename U>
  HugePageAllocator(const HugePageAllocator<U>&) {}  // NOLINT: as any allocator

  T* allocate(std::size_t n) {
    if (n * sizeof(T) < kBlockBytes) return std::allocator<T>().allocate(n);
    const std::size_t bytes = blocks(n);
    void* memory = std::aligned_alloc(kBlockBytes, bytes);
    if (memory == nullptr) throw std::bad_alloc();
    ::madvise(memory, bytes, MADV_HUGEPAGE);  // only advice
    return static_cast<T*>(memory);
  }
  void deallocate(T* p, std::size_t n) {
    if (n * sizeof(T) < kBlockBytes) return std::allocator<T>().deallocate(p, n);
    std::free(p);
  }
  template <typename U>
  bool operator==(const HugePageAllocator<U>&) const { return true; }

 private:
  static std::size_t blocks(std::size_t n) {
    return (n * sizeof(T) + kBlockBytes - 1) / kBlockBytes * kBlockBytes;
  }
};

}  // namespace varnok::report
