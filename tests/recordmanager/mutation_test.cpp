// Thousands of damaged copies of real books, each opened, walked, counted
// and changed through the engine: every one must end in a refusal that
// leaves the file as it was, or in a sound book. A crash, a hang or a
// sanitizer report fails the run as well.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "book_test_support.h"
#include "book_verdict.h"
#include "recordmanager/status.h"

namespace varnok::rmtest {
namespace {

constexpr std::size_t kPage = 4096;

// splitmix64: the same cases on every platform and standard library.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  std::size_t below(std::size_t n) { return n == 0 ? 0 : std::size_t(next() % n); }
  std::string bytes(std::size_t n) {
    std::string out(n, '\0');
    for (char& c : out) c = char(next());
    return out;
  }

 private:
  uint64_t state_;
};

void putBigEndian32(std::string& bytes, std::size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = char(value >> (24 - 8 * i));
}

struct Mutant {
  std::string book;
  std::string journal;  // written beside the book when not empty
  bool withJournal = false;
  std::string what;
};

void flipBit(std::string& book, std::size_t from, std::size_t to, Random& random, Mutant& m) {
  to = std::min(to, book.size());
  if (from >= to) return;
  const std::size_t at = from + random.below(to - from);
  const int bit = int(random.below(8));
  book[at] = char(book[at] ^ (1 << bit));
  m.what += " bit " + std::to_string(bit) + " of byte " + std::to_string(at);
}

// One damaged copy of `book`; `kind` picks the damage, `random` its place.
Mutant mutate(const std::string& book, int kind, Random& random) {
  Mutant m{book, {}, false, {}};
  std::string& b = m.book;
  const std::size_t pages = b.size() / kPage;
  switch (kind) {
    case 0: m.what = "header:"; flipBit(b, 0, 100, random, m); break;
    case 1: m.what = "schema page:"; flipBit(b, 100, kPage, random, m); break;
    case 2: m.what = "data page:"; flipBit(b, kPage, b.size(), random, m); break;
    case 3:
      m.what = "several data bytes:";
      for (int i = 0; i < 4; ++i) flipBit(b, kPage, b.size(), random, m);
      break;
    case 4: {
      const std::size_t length = random.below(b.size());
      b.resize(random.below(2) == 0 ? length / kPage * kPage : length);
      m.what = "cut to " + std::to_string(b.size());
      break;
    }
    case 5: {
      const std::size_t extra = random.below(2) == 0 ? kPage * (1 + random.below(3))
                                                     : 1 + random.below(3 * kPage);
      b += random.below(3) == 0 ? std::string(extra, '\0') : random.bytes(extra);
      m.what = "appended " + std::to_string(extra) + " bytes";
      break;
    }
    case 6: {
      const std::size_t p = random.below(pages), q = random.below(pages);
      for (std::size_t i = 0; i < kPage; ++i) std::swap(b[p * kPage + i], b[q * kPage + i]);
      m.what = "swapped pages " + std::to_string(p) + " and " + std::to_string(q);
      break;
    }
    case 7: {
      static const uint16_t sizes[] = {0, 1, 2, 256, 512, 1024, 2048, 8192, 16384, 32768, 4095, 65535};
      const uint16_t size = random.below(4) == 0 ? uint16_t(random.next())
                                                 : sizes[random.below(std::size(sizes))];
      b[16] = char(size >> 8);
      b[17] = char(size);
      m.what = "page size field " + std::to_string(size);
      break;
    }
    case 8: {
      // Page count, first freelist trunk page or freelist count, with or
      // without the version-valid-for number that makes SQLite trust them.
      static const std::size_t fields[] = {28, 32, 36};
      const std::size_t field = fields[random.below(3)];
      const uint32_t choices[] = {0, 1, uint32_t(pages - 1), uint32_t(pages + 1),
                                  uint32_t(pages * 2), 0xFFFFFFFFu, uint32_t(random.next())};
      const uint32_t value = choices[random.below(std::size(choices))];
      putBigEndian32(b, field, value);
      if (random.below(2) == 0) putBigEndian32(b, 92, uint32_t(random.next()));
      m.what = "header field at " + std::to_string(field) + " set to " + std::to_string(value);
      break;
    }
    default: {
      // A journal SQLite cannot restore from, beside a book that may be
      // damaged as well.
      const int size = int(random.below(3 * kPage));
      m.journal = random.below(4) == 0 ? std::string(std::size_t(size), '\0') : random.bytes(std::size_t(size));
      m.withJournal = true;
      if (random.below(2) == 0) {
        Mutant inner = mutate(book, int(random.below(9)), random);
        b = inner.book;
        m.what = inner.what + ",";
      }
      m.what += " journal of " + std::to_string(size) + " bytes";
      break;
    }
  }
  return m;
}

constexpr int kKinds = 10;

// A book just made, and one whose last pages are free after deletions (as a
// converted book's are), each of a few pages, so that damage hits every part
// of the file often.
std::vector<std::string> originals(const ScratchDir& dir) {
  const std::string path = dir.file("original.dat");
  makeBook(path, numberedEntries(60));
  std::vector<std::string> books{fileBytes(path)};
  Book book;
  if (book.open(path) != 0) throw std::runtime_error("original");
  for (int16_t s = book.getGreaterOrEqual(0, "N100020"); s == 0; s = book.getNext(0)) book.remove();
  if (book.close() != 0) throw std::runtime_error("original close");
  books.push_back(fileBytes(path));
  std::filesystem::remove(path);
  return books;
}

// Fewer cases where the sanitizers slow every one down; the same checks.
#ifdef NDEBUG
constexpr int kCases = 4000;
#else
constexpr int kCases = 1500;
#endif

TEST(DamagedBooks, AreRefusedUnchangedOrOpenAsSoundBooks) {
  ScratchDir dir(memoryBackedTemp());
  const std::vector<std::string> books = originals(dir);
  const std::string path = dir.file("FILE3.DAT");
  int refused = 0, faults = 0;
  for (int n = 0; n < kCases; ++n) {
    Random random(uint64_t(n) * 7919 + 17);
    const Mutant m = mutate(books[std::size_t(n) % books.size()], n % kKinds, random);
    std::filesystem::remove(path + "-journal");
    writeBytes(path, m.book);
    if (m.withJournal) writeBytes(path + "-journal", m.journal);

    const BookVerdict verdict = judgeBookFile(path);
    if (verdict.status != 0) ++refused;
    if (!verdict.fault.empty() && ++faults <= 20)
      ADD_FAILURE() << "case " << n << " (" << m.what << "): " << verdict.fault;
  }
  EXPECT_EQ(faults, 0);
  // Both ends are reached: damage that the engine must refuse, and damage
  // that leaves a book to walk and change (unused bytes, free pages).
  EXPECT_GT(refused, kCases / 3);
  EXPECT_GT(kCases - refused, kCases / 10);
}

}  // namespace
}  // namespace varnok::rmtest
