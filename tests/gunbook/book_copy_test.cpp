// Reading a book copy: every entry, checked, and never a change to the copy,
// even with a journal beside it that an Open of a live book would play back.
#include "recordmanager/book_copy.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "book_fixture.h"
#include "gunbook/gun_record.h"
#include "recordmanager/status.h"

namespace varnok::testing {
namespace {

namespace fs = std::filesystem;

int16_t readIds(const fs::path& file, std::vector<std::string>& ids) {
  return rm::readBookCopy(file, [&](const uint8_t* stored) {
    gunbook::GunRecord entry;
    gunbook::fromStored(stored, entry);
    ids.push_back(entry.Field00.str().substr(0, 2));
  });
}

TEST(BookCopy, ReadsEveryEntryAndNeverChangesTheCopy) {
  const ScratchDir dir;
  const std::string folder = dir.folder("book with ? and % and #");
  makeBook(folder, {gun("B2", "20250101", "", "PAWN"), gun("A1", "20250102", "", "SALE")});
  const fs::path book = fs::path(folder) / "FILE3.DAT";
  writeBytes(book.string() + "-journal", std::string(4096, 'j'));
  const std::string before = fileBytes(book);
  std::vector<std::string> ids;
  ASSERT_EQ(readIds(book, ids), rm::status::Success);
  EXPECT_EQ(ids, (std::vector<std::string>{"B2", "A1"}));  // in insertion order
  EXPECT_EQ(fileBytes(book), before);
  EXPECT_TRUE(fs::exists(book.string() + "-journal"));

  struct Case {
    const char* name;
    std::string bytes;
    int16_t status;
  };
  std::string damaged = before;
  damaged[damaged.find("B2") + 5] ^= 0x55;  // inside an entry: its checksum fails
  for (const Case& c : {Case{"text", "not a book\n", rm::status::NotABookFile},
                        Case{"cut short", before.substr(0, 60), rm::status::IoError},
                        Case{"damaged", damaged, rm::status::IoError}}) {
    SCOPED_TRACE(c.name);
    const fs::path file = dir.path() / c.name;
    writeBytes(file, c.bytes);
    ids.clear();
    EXPECT_EQ(readIds(file, ids), c.status);
  }
  ids.clear();
  EXPECT_EQ(readIds(dir.path() / "missing", ids), rm::status::FileNotFound);
}

}  // namespace
}  // namespace varnok::testing
