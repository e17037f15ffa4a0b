// The book check: both folders normalised and written back, both books
// opened, counted and closed, the counts told; a missing book stops it.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "pass_fixture.h"

namespace varnok::testing {
namespace {

using conversion::msg::NewBookMissing;
using conversion::msg::OldBookMissing;

std::vector<GunRecord> guns(int count, const std::string& prefix) {
  std::vector<GunRecord> book;
  for (int i = 0; i < count; ++i)
    book.push_back(gun(prefix + std::to_string(i), kDayBefore, kBlankDate, "PAWN"));
  return book;
}

TEST(BookCheck, CountsBothBooksAndSaysSoInOneExactMessage) {
  PassFixture f;
  makeBook(f.oldFolder, guns(120, "O"));
  makeBook(f.newFolder, guns(56, "N"));

  f.converter.checkBooks();

  EXPECT_TRUE(f.converter.booksValid);
  EXPECT_EQ(f.converter.oldBookCount, 120);
  EXPECT_EQ(f.converter.newBookCount, 56);
  EXPECT_EQ(f.view.messages,
            std::vector<std::string>{"Number of old guns = 120 Number of new guns 56"});
  // Both books were left closed: one close per open.
  EXPECT_GE(f.manager.calls(rm::op::Open), 2);
  EXPECT_EQ(f.manager.calls(rm::op::Close), f.manager.calls(rm::op::Open));
}

TEST(BookCheck, AnEmptyBookCountsZeroAndPasses) {
  PassFixture f;
  makeBook(f.oldFolder, {});
  makeBook(f.newFolder, guns(3, "N"));
  f.converter.oldBookCount = 99;

  f.converter.checkBooks();

  EXPECT_TRUE(f.converter.booksValid);
  EXPECT_EQ(f.converter.oldBookCount, 0);
  EXPECT_EQ(f.view.messages,
            std::vector<std::string>{"Number of old guns = 0 Number of new guns 3"});
}

TEST(BookCheck, FoldersLoseTrailingBlanksAndGainTheirSeparatorInTheirBoxes) {
  PassFixture f;
  makeBook(f.oldFolder, guns(2, "O"));
  makeBook(f.newFolder, guns(1, "N"));
  std::string oldTyped = f.oldFolder;
  oldTyped.pop_back();  // no final '/'
  f.view.form.oldBookFolder = oldTyped + "   ";
  f.view.form.newBookFolder = f.newFolder + "  ";  // already ends in '/': gets no second one

  f.converter.checkBooks();

  EXPECT_EQ(f.view.form.oldBookFolder, f.oldFolder);
  EXPECT_EQ(f.view.form.newBookFolder, f.newFolder);
  EXPECT_TRUE(f.converter.booksValid);
  EXPECT_EQ(f.converter.oldBookCount, 2);
}

TEST(BookCheck, AMissingOldBookStopsBeforeTheNewBookIsTouched) {
  PassFixture f;
  makeBook(f.newFolder, guns(4, "N"));
  f.view.form.oldBookFolder = "c:\\oldgunbook   ";
  f.view.form.newBookFolder = "c:\\newgunbook  ";
  f.converter.oldBookCount = 11;
  f.converter.newBookCount = 22;

  f.converter.checkBooks();

  EXPECT_FALSE(f.converter.booksValid);
  EXPECT_EQ(f.view.messages, std::vector<std::string>{OldBookMissing});
  EXPECT_EQ(f.view.form.oldBookFolder, "c:\\oldgunbook\\");
  EXPECT_EQ(f.view.form.newBookFolder, "c:\\newgunbook  ");  // neither normalised nor opened
  EXPECT_EQ(f.manager.calls(rm::op::Open), 1);
  EXPECT_EQ(f.manager.calls(rm::op::Stat), 0);
  EXPECT_EQ(f.converter.oldBookCount, 11);
  EXPECT_EQ(f.converter.newBookCount, 22);
}

TEST(BookCheck, AMissingNewBookComesAfterTheOldBookIsCountedAndClosed) {
  PassFixture f;
  makeBook(f.oldFolder, guns(5, "O"));
  f.view.form.newBookFolder = f.dir.folder("empty");  // a folder without a book
  f.converter.newBookCount = 22;

  f.converter.checkBooks();

  EXPECT_FALSE(f.converter.booksValid);
  EXPECT_EQ(f.converter.oldBookCount, 5);
  EXPECT_EQ(f.converter.newBookCount, 22);
  EXPECT_EQ(f.view.messages, std::vector<std::string>{NewBookMissing});
  EXPECT_EQ(f.manager.calls(rm::op::Open), 2);
  EXPECT_EQ(f.manager.calls(rm::op::Close), 1);
}

TEST(BookCheck, AnyRefusedOpenCountsAsAMissingBook) {
  PassFixture f;
  makeBook(f.oldFolder, guns(1, "O"));
  makeBook(f.newFolder, guns(1, "N"));
  f.manager.failCalls(rm::op::Open, rm::status::FileLocked, 2);

  f.converter.checkBooks();

  EXPECT_FALSE(f.converter.booksValid);
  // A book that is there but refused: why follows the message.
  EXPECT_EQ(f.view.messages,
            (std::vector<std::string>{NewBookMissing, "new book " + f.newFolder +
                                                          "FILE3.DAT: cannot open: book open "
                                                          "elsewhere (status 85)"}));
}

}  // namespace
}  // namespace varnok::testing
