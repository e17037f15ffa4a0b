// The late disposal transfer ("Fix"): which entries it transfers and how,
// what it leaves alone, its refusals and its messages.
#include <filesystem>
#include <string>
#include <vector>

#include "transfer_support.h"

namespace varnok::testing::transfer {
namespace {

TEST_F(TransferTest, OnlyGunsDisposedOfAfterTheDateAreClosedAndCopied) {
  const auto oldBefore = mixedOldBook();
  const std::vector<GunRecord> newBefore{gun("N-1", "20040401", "", "PAWN")};
  makeBook(oldFolder, oldBefore);
  makeBook(newFolder, newBefore);
  // Typed with trailing blanks and without the final separator.
  view.form.oldBookFolder = oldFolder.substr(0, oldFolder.size() - 1) + "   ";
  view.form.newBookFolder = newFolder.substr(0, newFolder.size() - 1) + " ";

  EXPECT_EQ(fix(), Outcome::Completed);

  EXPECT_EQ(view.form.oldBookFolder, oldFolder);
  EXPECT_EQ(view.form.newBookFolder, newFolder);
  EXPECT_TRUE(view.messages.empty()) << view.messages.front();
  const auto oldAfter = readBook(oldFolder);
  ASSERT_EQ(oldAfter.size(), 4u);
  EXPECT_EQ(oldAfter[0], oldBefore[0]) << "disposed of on D";
  EXPECT_EQ(oldAfter[1], oldBefore[1]) << "disposed of before D";
  EXPECT_EQ(oldAfter[2], oldBefore[2]) << "blank DateOut";
  EXPECT_EQ(oldAfter[3], closedInOldBook(oldBefore[3]));
  EXPECT_EQ(oldAfter[3].DispFlag, 0) << "the transfer does not set DispFlag";

  // In key order: the copy of G-4, then N-1.
  const auto newAfter = readBook(newFolder);
  ASSERT_EQ(newAfter.size(), 2u);
  EXPECT_EQ(newAfter[1], newBefore[0]);
  const GunRecord copy = newAfter[0];
  EXPECT_EQ(copy, copyInNewBook(oldBefore[3]));
  // Spelled out: the copy keeps its own later disposal.
  EXPECT_EQ(trimmed(copy.DateOut), kDayAfter);
  EXPECT_EQ(trimmed(copy.DispLastName), "BUYER");
  EXPECT_EQ(trimmed(copy.Status), "SOLD");
  EXPECT_EQ(trimmed(copy.Field06), "A77");
}

TEST_F(TransferTest, CopyKeepsItsStatusAndFlagAndLicenseeTextsAreCutToWidth) {
  GunRecord pawned = soldLater("G-9", kLater, -1);
  pawned.Status = "PAWN";
  makeBook(oldFolder, {pawned});
  makeBook(newFolder, {});
  view.form.previousLicensee[4] = "TEXAS";
  view.form.previousLicensee[5] = "750011234";
  view.form.newLicensee[2] = "12345 A VERY LONG ADDRESS BEYOND THIRTY CHARS";

  EXPECT_EQ(fix(), Outcome::Completed);

  const auto oldAfter = readBook(oldFolder);
  ASSERT_EQ(oldAfter.size(), 1u);
  EXPECT_EQ(trimmed(oldAfter[0].DispAddress), "12345 A VERY LONG ADDRESS BEYO");
  EXPECT_EQ(trimmed(oldAfter[0].Status), "SOLD");
  EXPECT_EQ(oldAfter[0].DispFlag, -1);
  const auto newAfter = readBook(newFolder);
  ASSERT_EQ(newAfter.size(), 1u);
  EXPECT_EQ(trimmed(newAfter[0].RecvState), "TE");
  EXPECT_EQ(trimmed(newAfter[0].RecvZip), "75001");
  EXPECT_EQ(trimmed(newAfter[0].Status), "PAWN");
  EXPECT_EQ(newAfter[0].DispFlag, -1);
  EXPECT_EQ(trimmed(newAfter[0].DateOut), kLater);
}

TEST_F(TransferTest, SecondFixWithTheSameDateTransfersNothing) {
  makeBook(oldFolder, mixedOldBook());
  makeBook(newFolder, {});
  ASSERT_EQ(fix(), Outcome::Completed);
  const auto oldOnce = readBook(oldFolder);
  const auto newOnce = readBook(newFolder);
  ASSERT_EQ(newOnce.size(), 1u);

  FaultyRecordManager counting(rm::bookEngine());
  EXPECT_EQ(fix(counting), Outcome::Completed);

  EXPECT_EQ(counting.calls(rm::op::Update), 0);
  EXPECT_EQ(counting.calls(rm::op::Insert), 0);
  EXPECT_EQ(readBook(oldFolder), oldOnce);
  EXPECT_EQ(readBook(newFolder), newOnce);
}

TEST_F(TransferTest, NoQualifyingEntryOpensAndClosesBothBooksAndChangesNothing) {
  const std::vector<GunRecord> oldBefore{gun("G-1", "20031001", kD, "SOLD"),
                                         gun("G-2", "", "", "SALE")};
  const std::vector<GunRecord> newBefore{gun("N-1", "20040401", kLater, "SOLD")};
  makeBook(oldFolder, oldBefore);
  makeBook(newFolder, newBefore);
  FaultyRecordManager counting(rm::bookEngine());

  EXPECT_EQ(fix(counting), Outcome::Completed);

  EXPECT_EQ(counting.calls(rm::op::Open), 2);
  EXPECT_EQ(counting.calls(rm::op::Close), 2);
  EXPECT_EQ(counting.calls(rm::op::Update) + counting.calls(rm::op::Insert), 0);
  EXPECT_EQ(readBook(oldFolder), oldBefore);
  EXPECT_EQ(readBook(newFolder), newBefore);
  EXPECT_TRUE(view.messages.empty());
}

TEST_F(TransferTest, PrefixAndOptionsHaveNoEffect) {
  const std::string otherOld = dir.folder("old2"), otherNew = dir.folder("new2");
  for (const auto& folder : {oldFolder, otherOld}) makeBook(folder, mixedOldBook());
  for (const auto& folder : {newFolder, otherNew})
    makeBook(folder, {gun("N-1", "20031201", "", "PAWN")});
  ASSERT_EQ(fix(), Outcome::Completed);

  view.fillIn(otherOld, otherNew, kDateTyped);
  view.form.newBookPrefix = "nw";
  view.form.keepReceivedFrom = view.form.keepDateIn = view.form.leaveReceivedInfo = true;
  ASSERT_EQ(fix(), Outcome::Completed);

  EXPECT_EQ(readBook(otherOld), readBook(oldFolder));
  const auto newAfter = readBook(otherNew);
  EXPECT_EQ(newAfter, readBook(newFolder));
  ASSERT_EQ(newAfter.size(), 2u);
  EXPECT_EQ(trimmed(newAfter[0].Field06), "A77") << "the copy of G-4 has no prefix";
}

TEST_F(TransferTest, UnusableDateIsRefusedAndNothingIsOpened) {
  // With an empty date every entry holding any DateOut, blank included,
  // would qualify.
  makeBook(oldFolder, {gun("G-1", "20031001", "", "SOLD"), gun("G-2", "20031001", kD, "SOLD")});
  makeBook(newFolder, {gun("N-1", "20040401", "", "PAWN")});
  const std::string oldBytes = bookBytes(oldFolder), newBytes = bookBytes(newFolder);
  ASSERT_FALSE(oldBytes.empty());
  view.form.oldBookFolder = oldFolder + "  ";

  for (const char* date : {"", "__/__/____", "02/30/2004", "3/15/2004", "13/01/2004", "2004"}) {
    SCOPED_TRACE(std::string("date box: \"") + date + "\"");
    view.form.conversionDate = date;
    view.messages.clear();
    FaultyRecordManager counting(rm::bookEngine());

    EXPECT_EQ(fix(counting), Outcome::Refused);

    EXPECT_EQ(view.messages, std::vector<std::string>{conversion::msg::ValidDate});
    EXPECT_EQ(counting.calls(rm::op::Open), 0);
    EXPECT_EQ(view.form.oldBookFolder, oldFolder + "  ") << "the folder box is left as typed";
  }
  EXPECT_EQ(bookBytes(oldFolder), oldBytes);
  EXPECT_EQ(bookBytes(newFolder), newBytes);
}

TEST_F(TransferTest, OneBookGivenAsBothIsRefused) {
  makeBook(oldFolder, mixedOldBook());
  const std::string bytes = bookBytes(oldFolder);
  std::filesystem::create_directory_symlink(oldFolder, dir.path() / "link");
  const std::string linked = (dir.path() / "link").string();

  for (const std::string& second : {oldFolder, oldFolder.substr(0, oldFolder.size() - 1) + "  ",
                                    linked}) {
    SCOPED_TRACE("new book folder: " + second);
    view.fillIn(oldFolder, second, kDateTyped);
    view.messages.clear();
    FaultyRecordManager counting(rm::bookEngine());

    EXPECT_EQ(fix(counting), Outcome::Refused);

    EXPECT_EQ(view.messages, std::vector<std::string>{conversion::msg::SameBook});
    EXPECT_EQ(counting.calls(rm::op::Open), 0);
  }
  EXPECT_EQ(bookBytes(oldFolder), bytes);
}

TEST_F(TransferTest, BookThatCannotBeOpenedIsReportedAndNothingChanges) {
  {
    SCOPED_TRACE("old book missing");
    makeBook(newFolder, {});
    view.form.oldBookFolder = dir.folder("empty-old");
    FaultyRecordManager counting(rm::bookEngine());

    EXPECT_EQ(fix(counting), Outcome::BookNotOpened);

    EXPECT_EQ(view.messages, std::vector<std::string>{conversion::msg::ErrorOpeningOldBook});
    EXPECT_FALSE(booksValid);
    EXPECT_EQ(counting.calls(rm::op::Open), 1);
    EXPECT_EQ(counting.calls(rm::op::Close), 0);
  }
  {
    SCOPED_TRACE("new book missing");
    makeBook(oldFolder, mixedOldBook());
    view.fillIn(oldFolder, dir.folder("empty-new"), kDateTyped);
    view.messages.clear();
    FaultyRecordManager counting(rm::bookEngine());

    EXPECT_EQ(fix(counting), Outcome::BookNotOpened);

    EXPECT_EQ(view.messages, std::vector<std::string>{conversion::msg::ErrorOpeningNewBook});
    EXPECT_FALSE(booksValid);
    EXPECT_EQ(counting.calls(rm::op::Open), 2);
    EXPECT_EQ(counting.calls(rm::op::Close), 1) << "the old book is closed";
    EXPECT_EQ(counting.calls(rm::op::Update), 0);
    EXPECT_EQ(readBook(oldFolder), mixedOldBook());
  }
}

}  // namespace
}  // namespace varnok::testing::transfer
