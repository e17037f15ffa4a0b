// What the book engine's operations cost on books of 10,000, 100,000 and
// 1,000,000 entries, and what a whole-book pass (walk key 0, update every
// entry, close) takes, with the process's peak memory.
//
//   bench_recordmanager [largest entry count]
//
// Each figure is given as wall-clock time and as this process's CPU time:
// on a busy machine the wall time also holds the time spent waiting for a
// processor, and Close's wall time holds the waits for the disk.
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "recordmanager/record_manager.h"

namespace {

namespace rm = varnok::rm;
using Record = std::array<uint8_t, rm::kRecordLength>;

double cpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// Wall and CPU time over the loops it is running for.
class Stopwatch {
 public:
  void start() {
    wallStart_ = std::chrono::steady_clock::now();
    cpuStart_ = cpuSeconds();
  }
  void stop() {
    wall_ += std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart_).count();
    cpu_ += cpuSeconds() - cpuStart_;
  }
  double wall() const { return wall_; }
  double cpu() const { return cpu_; }

 private:
  std::chrono::steady_clock::time_point wallStart_;
  double cpuStart_ = 0, wall_ = 0, cpu_ = 0;
};

void perOperation(const char* name, const Stopwatch& watch, std::size_t operations) {
  std::printf("  %-34s %9.3f us %9.3f us   per call\n", name, watch.wall() * 1e6 / double(operations),
              watch.cpu() * 1e6 / double(operations));
}
void whole(const char* name, const Stopwatch& watch) {
  std::printf("  %-34s %9.1f ms %9.1f ms\n", name, watch.wall() * 1e3, watch.cpu() * 1e3);
}

// One caller's buffers, as a book cursor holds them.
struct Caller {
  std::array<uint8_t, rm::kPositionBlockLength> block;
  Record data{};
  std::array<uint8_t, rm::kKeyBufferLength> key{};
  uint16_t length = rm::kRecordLength;

  Caller() { block.fill(' '); }
  int16_t call(uint16_t operation, int keyNumber = 0) {
    length = rm::kRecordLength;
    return rm::bookEngine().call(operation, block.data(), data.data(), &length, key.data(),
                                 rm::kKeyBufferLength, int16_t(keyNumber));
  }
  void setKey(const std::string& text) {
    key.fill(' ');
    std::memcpy(key.data(), text.data(), std::min(text.size(), key.size()));
  }
};

void check(int16_t status, const char* what) {
  if (status != 0) {
    std::fprintf(stderr, "%s failed: status %d\n", what, status);
    std::exit(1);
  }
}

void put(Record& record, std::size_t offset, std::size_t width, const std::string& text) {
  for (std::size_t i = 0; i < width; ++i) record[offset + i] = i < text.size() ? text[i] : ' ';
}

std::string number(uint64_t value, int digits) {
  std::string text = std::to_string(value);
  return std::string(text.size() < std::size_t(digits) ? digits - text.size() : 0, '0') + text;
}

std::string date(std::mt19937& random) {
  return number(2000 + random() % 25, 4) + number(1 + random() % 12, 2) +
         number(1 + random() % 28, 2);
}

// An entry named G000000000.. with DateIn over 25 years, so that key 1
// holds many duplicates.
Record makeEntry(uint32_t name, std::mt19937& random) {
  Record r;
  for (auto& b : r) b = uint8_t('A' + random() % 26);
  put(r, 0, 15, "G" + number(name, 9));
  put(r, 50, 8, date(random));
  put(r, 15, 12, "F" + number(random() % 100000, 5));
  put(r, 35, 15, "S" + number(random() % 1000000, 6));
  return r;
}

void benchmark(const std::string& folder, std::size_t count, std::mt19937& random) {
  const std::string path = folder + "/FILE3.DAT";
  const std::size_t sample = std::min<std::size_t>(count, 100000);
  std::printf("Book of %zu entries %26s %12s\n", count, "wall", "cpu");

  // Entries go in under shuffled names, made a batch at a time so that the
  // peak memory is the engine's.
  std::vector<uint32_t> names(count);
  std::iota(names.begin(), names.end(), 0);
  std::shuffle(names.begin(), names.end(), random);
  Caller book;
  book.setKey(path + " ");
  check(book.call(rm::op::Create), "create");
  check(book.call(rm::op::Open), "open");
  Stopwatch insert;
  std::vector<Record> batch;
  for (std::size_t from = 0; from < count; from += 10000) {
    batch.clear();
    for (std::size_t i = from; i < std::min(count, from + 10000); ++i)
      batch.push_back(makeEntry(names[i], random));
    insert.start();
    for (const Record& r : batch) {
      book.data = r;
      check(book.call(rm::op::Insert), "insert");
    }
    insert.stop();
  }
  batch = {};
  perOperation("insert (filling an empty book)", insert, count);
  Stopwatch close;
  close.start();
  check(book.call(rm::op::Close), "close");
  close.stop();
  whole("close (commit of every insert)", close);

  Stopwatch open;
  book.setKey(path + " ");
  open.start();
  check(book.call(rm::op::Open), "open");
  open.stop();
  whole("open (check, lock and load)", open);

  std::vector<std::string> starts;
  for (std::size_t i = 0; i < sample; ++i) starts.push_back("G" + number(random() % count, 9));
  Stopwatch getGreaterOrEqual;
  getGreaterOrEqual.start();
  for (const std::string& value : starts) {
    book.setKey(value);
    check(book.call(rm::op::GetGreaterOrEqual, 0), "get >=");
  }
  getGreaterOrEqual.stop();
  perOperation("get >= (key 0, random start)", getGreaterOrEqual, sample);

  book.setKey("");
  check(book.call(rm::op::GetGreaterOrEqual, 0), "get >=");
  std::size_t walked = 1;
  Stopwatch getNext;
  getNext.start();
  while (book.call(rm::op::GetNext, 0) == 0) ++walked;
  getNext.stop();
  perOperation("get next (key 0)", getNext, walked);
  if (walked != count) std::printf("  !! walked %zu of %zu\n", walked, count);

  // Updates along a walk by key 0: of a byte outside every key, then of
  // DateIn, which moves the entry in key 1's order.
  for (const bool keyChange : {false, true}) {
    std::vector<std::string> dates;
    for (std::size_t i = 0; i < sample; ++i) dates.push_back(date(random));
    book.setKey("");
    check(book.call(rm::op::GetGreaterOrEqual, 0), "get >=");
    Stopwatch update;
    update.start();
    for (std::size_t i = 0; i < sample; ++i) {
      if (keyChange) put(book.data, 50, 8, dates[i]); else book.data[300] ^= 1;
      check(book.call(rm::op::Update, 0), "update");
      if (book.call(rm::op::GetNext, 0) != 0) break;
    }
    update.stop();
    perOperation(keyChange ? "update DateIn + get next" : "update (no key) + get next", update,
                 sample);
  }

  const std::size_t deletes = std::min<std::size_t>(sample, count / 2);
  std::vector<std::string> victims;
  for (std::size_t i = 0; i < deletes; ++i) victims.push_back("G" + number(random() % count, 9));
  Stopwatch remove;
  remove.start();
  for (const std::string& victim : victims) {
    book.setKey(victim);
    if (book.call(rm::op::GetGreaterOrEqual, 0) == 0) check(book.call(rm::op::Delete), "delete");
  }
  remove.stop();
  perOperation("get >= + delete", remove, deletes);
  Stopwatch discard;
  discard.start();
  check(book.call(rm::op::Discard), "discard");
  discard.stop();
  whole("discard (the changes above)", discard);

  // The whole-book pass, as a conversion makes it.
  Stopwatch pass;
  pass.start();
  book.setKey(path + " ");
  check(book.call(rm::op::Open), "open");
  book.setKey("");
  std::size_t updated = 0;
  for (int16_t s = book.call(rm::op::GetGreaterOrEqual, 0); s == 0;
       s = book.call(rm::op::GetNext, 0)) {
    put(book.data, 50, 8, "20250630");
    check(book.call(rm::op::Update), "update");
    ++updated;
  }
  pass.stop();
  Stopwatch commit;
  commit.start();
  check(book.call(rm::op::Close), "close");
  commit.stop();
  whole("pass: open, walk key 0, update all", pass);
  whole("pass: close (commit every update)", commit);
  if (updated != count) std::printf("  !! updated %zu of %zu\n", updated, count);

  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("  %-34s %9.1f MB   (book file %.1f MB)\n\n", "peak memory of the process so far",
              double(usage.ru_maxrss) / 1024.0,
              double(std::filesystem::file_size(path)) / (1024.0 * 1024.0));
  std::filesystem::remove(path);
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t largest = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1000000;
  std::string folder = (std::filesystem::temp_directory_path() / "varnok-bench-XXXXXX").string();
  if (!mkdtemp(folder.data())) {
    std::perror("mkdtemp");
    return 1;
  }
  std::mt19937 random(20250630);
  for (std::size_t count : {std::size_t(10000), std::size_t(100000), std::size_t(1000000)})
    if (count <= largest) benchmark(folder, count, random);
  std::filesystem::remove_all(folder);
  return 0;
}
