#include "recordmanager/huge_pages.h"

#include <sys/mman.h>

#include <new>

namespace varnok::rm {

void* takeHugePages(std::size_t bytes) {
  bytes = (bytes + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
  void* memory = std::aligned_alloc(kHugePageBytes, bytes);
  if (memory == nullptr) throw std::bad_alloc();
  ::madvise(memory, bytes, MADV_HUGEPAGE);  // only advice
  return memory;
}

}  // namespace varnok::rm
