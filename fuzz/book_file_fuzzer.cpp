// Fuzz target: any bytes offered as a book file. Each input is written as
// FILE3.DAT in a scratch folder and judged as the mutation test judges its
// cases: refused with the file unchanged (and refused alike a second time),
// or a sound book whose walks agree with Stat and that takes a session of
// changes. Anything else aborts, and so do crashes and sanitizer reports.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "book_verdict.h"

namespace {

// A folder of its own, in memory when the machine has /dev/shm: every
// accepted input ends in a synchronous commit.
// Never destroyed: the handler that removes it runs after static objects
// are gone.
const std::string& scratchFolder() {
  static const std::string* folder = [] {
    std::string pattern = (varnok::rmtest::memoryBackedTemp() / "varnok-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(scratchFolder(), ignored);
    });
    return new std::string(pattern);
  }();
  return *folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = scratchFolder() + "/FILE3.DAT";
  std::error_code ignored;
  std::filesystem::remove(path + "-journal", ignored);
  varnok::rmtest::writeBytes(path, std::string_view(reinterpret_cast<const char*>(data), size));
  const varnok::rmtest::BookVerdict verdict = varnok::rmtest::judgeBookFile(path);
  if (!verdict.fault.empty()) {
    std::fprintf(stderr, "book file fault (Open status %d): %s\n", verdict.status,
                 verdict.fault.c_str());
    std::abort();
  }
  return 0;
}
