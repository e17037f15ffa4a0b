// The journal beside a book belongs to SQLite: a book whose header makes
// SQLite begin its journal at Open still closes whole, a kill at any change
// a session makes on disk leaves the book as at Open or as at Close, and a
// journal beside a book never changes how Open judges the book.
#include <gtest/gtest.h>

#include <string>

#include "book_test_support.h"
#include "kill_at_write.h"
#include "recordmanager/status.h"

namespace varnok::rmtest {
namespace {

namespace status = rm::status;
using testing::KillAtWrite;

// Header states SQLite itself accepts. With the page count at bytes 28-31
// zero, or out of date with its version-valid-for number (bytes 92-95)
// unlike the change counter (bytes 24-27), as older SQLite versions left
// it, SQLite takes the page count from the file's size and writes the field,
// journal first, as soon as a write transaction begins.
enum class Header { Sound, PageCountZero, PageCountOutdated };

void PrintTo(Header header, std::ostream* out) {
  *out << (header == Header::Sound           ? "Sound"
           : header == Header::PageCountZero ? "PageCountZero"
                                             : "PageCountOutdated");
}

void setHeader(const std::string& path, Header header) {
  std::string bytes = fileBytes(path);
  if (header == Header::PageCountZero) bytes.replace(28, 4, 4, '\0');
  if (header == Header::PageCountOutdated) {
    bytes[31] = char(bytes[31] - 1);
    bytes[95] = char(bytes[95] ^ 0x01);
  }
  writeBytes(path, bytes);
}

class Journal : public ::testing::TestWithParam<Header> {
 protected:
  // A book in the header state of the test, and what it holds before and
  // after one session of changeEverything (worked out on a sound copy).
  void SetUp() override {
    makeBook(path, numberedEntries(kEntries));
    const std::string copy = dir.file("copy.dat");
    writeBytes(copy, fileBytes(path));
    setHeader(path, GetParam());
    original = fileBytes(path);
    atOpen = contents(copy);
    Book book;
    ASSERT_EQ(book.open(copy), status::Success);
    ASSERT_TRUE(changeEverything(book, kInserts));
    ASSERT_EQ(book.close(), status::Success);
    afterClose = contents(copy);
    std::filesystem::remove(copy);
    ASSERT_EQ(atOpen.size(), std::size_t(kEntries));
    ASSERT_NE(afterClose, atOpen);
  }

  // One session of changeEverything in a child process that is killed just
  // before its n-th change on disk (0: never). The child's exit code, -1
  // when it was killed.
  int sessionKilledAt(long n) {
    return runInChild([&] {
      KillAtWrite::install();
      KillAtWrite::killAt(n);
      Book book;
      if (book.open(path) != 0) return 1;
      if (!changeEverything(book, kInserts)) return 2;
      if (book.close() != 0) return 3;
      return n == 0 ? int(std::min(KillAtWrite::changes(), 255L)) : 0;
    }).exitStatus;
  }

  static constexpr int kEntries = 40;
  static constexpr int kInserts = 10;
  ScratchDir dir;
  std::string path = dir.file("FILE3.DAT");
  std::string original;
  std::vector<Record> atOpen, afterClose;
};

TEST_P(Journal, CloseMakesTheSessionDurableAndLeavesOneFile) {
  Book book;
  ASSERT_EQ(book.open(path), status::Success);
  ASSERT_TRUE(changeEverything(book, kInserts));
  EXPECT_EQ(fileBytes(path), original);  // nothing reaches the book before Close
  ASSERT_EQ(book.close(), status::Success);

  EXPECT_EQ(dir.names(), std::set<std::string>{"FILE3.DAT"});
  EXPECT_EQ(integrityCheck(path), "ok");
  EXPECT_EQ(contents(path), afterClose);
}

TEST_P(Journal, ASessionThatChangesNothingLeavesTheFileAsItWas) {
  EXPECT_EQ(contents(path), atOpen);
  EXPECT_EQ(fileBytes(path), original);
  EXPECT_EQ(dir.names(), std::set<std::string>{"FILE3.DAT"});
}

TEST_P(Journal, AKillAtAnyChangeOnDiskLeavesTheBookAsAtOpenOrAsAtClose) {
  const int changes = sessionKilledAt(0);
  ASSERT_GT(changes, 5);
  ASSERT_LT(changes, 255);
  ASSERT_EQ(contents(path), afterClose);  // not killed, the session closes
  for (long n = 1; n <= changes; ++n) {
    SCOPED_TRACE("killed before change " + std::to_string(n) + " of " + std::to_string(changes));
    writeBytes(path, original);
    std::filesystem::remove(path + "-journal");
    ASSERT_EQ(sessionKilledAt(n), -1);

    const auto records = contents(path);  // Open restores what the kill cut short
    ASSERT_TRUE(records == atOpen || records == afterClose) << records.size() << " entries";
    EXPECT_EQ(integrityCheck(path), "ok");
    EXPECT_EQ(dir.names(), std::set<std::string>{"FILE3.DAT"});
  }
}

INSTANTIATE_TEST_SUITE_P(Headers, Journal,
                         ::testing::Values(Header::Sound, Header::PageCountZero,
                                           Header::PageCountOutdated),
                         [](const auto& info) {
                           std::ostringstream name;
                           PrintTo(info.param, &name);
                           return name.str();
                         });

// Open judges a book the same with or without a journal beside it that
// SQLite has nothing to restore from, so a book accepted once opens again.
TEST(JournalBesideABook, NeverChangesHowOpenJudgesTheBook) {
  struct Shape {
    const char* name;
    std::size_t cut;  // bytes cut from the end
    int16_t expected;
  };
  const Shape shapes[] = {{"sound", 0, status::Success},
                          {"cut by whole pages", 3 * 4096, status::IoError},
                          {"cut within a page", 1000, status::IoError}};
  const std::pair<const char*, std::string> journals[] = {
      {"garbage", std::string(3000, '\x5A')},
      {"empty", std::string()},
      {"zeroed header", std::string(512, '\0') + std::string(4100, 'j')}};
  for (const Shape& shape : shapes) {
    for (const auto& [journalName, journal] : journals) {
      SCOPED_TRACE(std::string(shape.name) + " book, " + journalName + " journal");
      ScratchDir dir;
      const std::string path = dir.file("FILE3.DAT");
      // Its last pages are free after the deletions, so SQLite never reads
      // what a cut takes away.
      makeBook(path, numberedEntries(200));
      {
        Book book;
        ASSERT_EQ(book.open(path), status::Success);
        for (int16_t s = book.getGreaterOrEqual(0, "N100050"); s == 0; s = book.getNext(0))
          ASSERT_EQ(book.remove(), status::Success);
        ASSERT_EQ(book.close(), status::Success);
      }
      std::string bytes = fileBytes(path);
      bytes.resize(bytes.size() - shape.cut);
      writeBytes(path, bytes);
      writeBytes(path + "-journal", journal);

      Book first, second;
      EXPECT_EQ(first.open(path), shape.expected);
      first.discard();
      EXPECT_EQ(second.open(path), shape.expected);
      second.discard();
      EXPECT_EQ(fileBytes(path), bytes);
    }
  }
}

}  // namespace
}  // namespace varnok::rmtest
