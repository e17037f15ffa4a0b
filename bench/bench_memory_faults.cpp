// What fresh memory costs on this machine: the first touch of each page of
// new memory is a fault the kernel must serve, and under some virtual
// machines that costs far more than the bytes it brings. Measured for 4 KB
// pages, for 2 MB blocks offered for huge pages (as the engine's entries
// and the report's large arrays are), and for memory used a second time,
// with one thread and with two faulting at once.
//
//   bench_memory_faults [MiB]   (default 256)
#include <sys/mman.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

constexpr std::size_t kPage = 4096, kHugePage = std::size_t(2) << 20;

double seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Touches one byte per 4 KB page of `bytes` of fresh memory; seconds.
double touchFresh(std::size_t bytes, bool hugePages) {
  void* memory = nullptr;
  if (posix_memalign(&memory, kHugePage, bytes) != 0) std::abort();
  if (hugePages) madvise(memory, bytes, MADV_HUGEPAGE);
  else madvise(memory, bytes, MADV_NOHUGEPAGE);
  auto* bytesAt = static_cast<volatile char*>(memory);
  const auto start = std::chrono::steady_clock::now();
  for (std::size_t at = 0; at < bytes; at += kPage) bytesAt[at] = 1;
  const double taken = seconds(start);
  // The same pages again: no fault, only the write.
  const auto again = std::chrono::steady_clock::now();
  for (std::size_t at = 0; at < bytes; at += kPage) bytesAt[at] = 2;
  if (seconds(again) * 20 > taken) std::printf("  (touching mapped pages took %.3f s)\n", seconds(again));
  std::free(memory);
  return taken;
}

void report(const char* what, std::size_t bytes, double taken, std::size_t unit) {
  std::printf("%-34s %8.2f us per 4 KB page  (%7.1f us per %s, %.0f MiB/s)\n", what,
              taken * 1e6 / double(bytes / kPage), taken * 1e6 / double(bytes / unit),
              unit == kPage ? "page" : "2 MB block", double(bytes) / (1 << 20) / taken);
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 256;
  const std::size_t bytes = mib << 20;
  report("fresh 4 KB pages, one thread", bytes, touchFresh(bytes, false), kPage);
  report("fresh 2 MB blocks, one thread", bytes, touchFresh(bytes, true), kHugePage);
  double other = 0;
  std::thread second([&] { other = touchFresh(bytes, false); });
  const double mine = touchFresh(bytes, false);
  second.join();
  report("fresh 4 KB pages, two threads", bytes, (mine + other) / 2, kPage);
}
