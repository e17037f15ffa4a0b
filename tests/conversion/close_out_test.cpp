// The old book close-out: entries received after the conversion date go,
// guns still in the store or disposed of only after it are handed over to
// the new licensee on it, and the old book's bar shows the way.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "pass_fixture.h"

namespace varnok::testing {
namespace {

namespace msg = conversion::msg;

// What the hand-over makes of an entry, field by field.
GunRecord handedOver(GunRecord entry, const FakeView& view) {
  entry = disposedTo(entry, view.form.newLicensee);
  entry.DateOut = kD;
  entry.Status = "SOLD";
  entry.DispFlag = -1;
  return entry;
}

// An entry with something in every field the hand-over must leave alone.
GunRecord filled(const std::string& id, const std::string& dateIn, const std::string& dateOut,
                 const std::string& status) {
  GunRecord entry = gun(id, dateIn, dateOut, status);
  entry.RecvLastName = "SELLER";
  entry.RecvFirstName = "SAM";
  entry.RecvAddress = "5 ELM";
  entry.Field06 = "A77";
  entry.DispLastName = "BUYER";
  entry.Field27 = "TAIL OF THE RECORD..";
  return entry;
}

TEST(CloseOut, RemovesOnlyEntriesReceivedAfterTheDate) {
  PassFixture f;
  // SOLD before D, so that only the removal pass has anything to do.
  makeBook(f.oldFolder, {gun("K-ON-1", kD, kDayBefore, "SOLD"),
                         gun("X-AFTER-1", kDayAfter, kDayBefore, "SOLD"),
                         gun("K-BLANK", kBlankDate, kDayBefore, "SOLD"),
                         gun("K-ON-2", kD, kDayBefore, "SOLD"),
                         gun("X-AFTER-2", kDayAfter, kDayBefore, "SOLD"),
                         gun("K-BEFORE", "19991231", kDayBefore, "SOLD"),
                         gun("X-LATER", "20050101", kDayBefore, "SOLD"),
                         gun("K-ON-3", kD, kDayBefore, "SOLD"),
                         gun("X-AFTER-3", kDayAfter, kDayBefore, "PAWN")});
  const auto before = f.oldBook();
  f.converter.oldBookCount = 9;

  f.converter.closeOutOldBook();

  const auto after = f.oldBook();
  EXPECT_EQ(idsOf(after),
            (std::vector<std::string>{"K-BEFORE", "K-BLANK", "K-ON-1", "K-ON-2", "K-ON-3"}));
  for (const auto& entry : after) EXPECT_EQ(entry, *findEntry(before, idsOf({entry})[0]));
  EXPECT_TRUE(f.view.messages.empty());
}

TEST(CloseOut, ReadsEachEntryOfALargeBookOnlyAFewTimes) {
  // After a deletion the walk goes on from the deleted entry's place. One
  // that started again from D would read the guns kept on D once for every
  // gun removed: some 100 x 100 reads instead of a few hundred.
  PassFixture f;
  std::vector<GunRecord> book;
  for (int i = 0; i < 100; ++i) {
    book.push_back(gun("K" + std::to_string(i), kD, kBlankDate, "PAWN"));
    book.push_back(gun("X" + std::to_string(i), kDayAfter, kBlankDate, "PAWN"));
  }
  makeBook(f.oldFolder, book);
  f.converter.oldBookCount = 200;

  f.converter.closeOutOldBook();

  const auto after = f.oldBook();
  ASSERT_EQ(after.size(), 100u);
  for (const auto& entry : after) EXPECT_EQ(entry.Status.view(), kSold);
  EXPECT_LE(entryReads(f.manager), 4 * 200);
}

TEST(CloseOut, HandsOverGunsStillInTheStoreJudgedByTheirFirstFourLetters) {
  PassFixture f;
  const std::vector<GunRecord> handed = {filled("PAWN", kDayBefore, kBlankDate, "PAWN"),
                                         filled("SALE", kD, kBlankDate, "SALE"),
                                         filled("PAWNED", kDayBefore, kBlankDate, "PAWNED"),
                                         filled("SALEITEM", kDayBefore, kDayBefore, "SALE ITEM")};
  const std::vector<GunRecord> left = {filled("LOWER", kDayBefore, kBlankDate, "pawn"),
                                       filled("SPACED", kDayBefore, kBlankDate, " PAWN"),
                                       filled("SOLD", kDayBefore, kBlankDate, "SOLD"),
                                       filled("NOSTATUS", kDayBefore, kBlankDate, "")};
  std::vector<GunRecord> book = handed;
  book.insert(book.end(), left.begin(), left.end());
  makeBook(f.oldFolder, book);
  f.converter.oldBookCount = 8;

  f.converter.closeOutOldBook();

  const auto after = f.oldBook();
  ASSERT_EQ(after.size(), book.size());
  for (const auto& entry : handed) {
    SCOPED_TRACE(entry.Field00.str());
    EXPECT_EQ(*findEntry(after, entry.Field00.view()), handedOver(entry, f.view));
  }
  for (const auto& entry : left) {
    SCOPED_TRACE(entry.Field00.str());
    EXPECT_EQ(*findEntry(after, entry.Field00.view()), entry);
  }
  EXPECT_EQ(findEntry(after, "PAWN")->Status.view(), "SOLD" + std::string(11, ' '));
}

TEST(CloseOut, HandsOverGunsThatLeftTheStoreOnlyAfterTheDate) {
  PassFixture f;
  const GunRecord soldOnD = filled("SOLD-ON-D", kDayBefore, kD, "SOLD");
  const GunRecord soldBefore = filled("SOLD-BEFORE", kDayBefore, kDayBefore, "SOLD");
  const GunRecord soldAfter = filled("SOLD-AFTER", kDayBefore, kDayAfter, "SOLD");
  const GunRecord lowerAfter = filled("LOWER-AFTER", kDayBefore, "20041231", "pawn");
  const GunRecord notGone = filled("NOT-GONE", kDayBefore, kBlankDate, "SOLD");
  makeBook(f.oldFolder, {soldOnD, soldBefore, soldAfter, lowerAfter, notGone});
  f.converter.oldBookCount = 5;

  f.converter.closeOutOldBook();

  const auto after = f.oldBook();
  EXPECT_EQ(*findEntry(after, "SOLD-ON-D"), soldOnD);
  EXPECT_EQ(*findEntry(after, "SOLD-BEFORE"), soldBefore);
  EXPECT_EQ(*findEntry(after, "NOT-GONE"), notGone);
  EXPECT_EQ(*findEntry(after, "SOLD-AFTER"), handedOver(soldAfter, f.view));
  EXPECT_EQ(*findEntry(after, "LOWER-AFTER"), handedOver(lowerAfter, f.view));
}

TEST(CloseOut, WritesTheNewLicenseeFixedWidthAsBookText) {
  PassFixture f;
  makeBook(f.oldFolder, {gun("G1", kDayBefore, kBlankDate, "PAWN")});
  f.view.form.newLicensee = {"M\xC3\x9CLLER", "nora", "123456789 123456789 123456789 12345", "NEWTOWN",
                  "TEXAS", "750021234"};
  f.converter.oldBookCount = 1;

  f.converter.closeOutOldBook();

  const GunRecord entry = *findEntry(f.oldBook(), "G1");
  EXPECT_EQ(entry.DispLastName.view(), "M\xDCLLER" + std::string(9, ' '));  // Windows-1252
  EXPECT_EQ(entry.DispFirstName.view(), "nora" + std::string(16, ' '));      // case as typed
  EXPECT_EQ(entry.DispAddress.view(), "123456789 123456789 123456789 ");
  EXPECT_EQ(entry.DispState.view(), "TE");
  EXPECT_EQ(entry.DispZip.view(), "75002");
}

TEST(CloseOut, UsesAndShowsTheFolderWithoutTrailingBlanksAndWithItsSeparator) {
  PassFixture f;
  makeBook(f.oldFolder, {gun("G1", kDayAfter, kBlankDate, "PAWN")});
  std::string typed = f.oldFolder;
  typed.pop_back();
  f.view.form.oldBookFolder = typed + "   ";

  f.converter.closeOutOldBook();

  EXPECT_EQ(f.view.form.oldBookFolder, f.oldFolder);
  EXPECT_TRUE(f.oldBook().empty());
}

TEST(CloseOut, AnEmptyBookIsOpenedAndClosedAndNothingIsShown) {
  PassFixture f;
  makeBook(f.oldFolder, {});
  f.converter.oldBookCount = 0;

  f.converter.closeOutOldBook();

  EXPECT_TRUE(f.view.messages.empty());
  EXPECT_TRUE(f.view.bar1Values.empty());
  EXPECT_EQ(f.manager.calls(rm::op::Open), 1);
  EXPECT_EQ(f.manager.calls(rm::op::Close), 1);
  EXPECT_EQ(f.converter.lastStatus, 0);  // the close's
}

TEST(CloseOut, TheBarClimbsThroughBothHandOverPassesAndStopsAtTheCount) {
  PassFixture f;
  std::vector<GunRecord> book;
  for (int i = 0; i < 6; ++i)
    book.push_back(gun("K" + std::to_string(i), kDayBefore, kBlankDate, i % 2 ? "PAWN" : "SOLD"));
  for (int i = 0; i < 4; ++i)
    book.push_back(gun("X" + std::to_string(i), kDayAfter, kBlankDate, "PAWN"));
  makeBook(f.oldFolder, book);
  f.converter.oldBookCount = 10;

  f.converter.closeOutOldBook();

  EXPECT_EQ(f.view.bar1Values,
            (std::vector<float>{10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));
  EXPECT_TRUE(f.view.bar2Values.empty());
  EXPECT_EQ(f.converter.oldBookCount, 10);  // not lowered by the deletions
  EXPECT_EQ(f.oldBook().size(), 6u);
}

TEST(CloseOut, TheBarKeepsTheFractionOfItsShare) {
  PassFixture f;
  makeBook(f.oldFolder, {gun("G1", kDayBefore, kBlankDate, "PAWN")});
  f.converter.oldBookCount = 3;

  f.converter.closeOutOldBook();

  // One entry, met by both hand-over passes: 1/3 and 2/3.
  EXPECT_EQ(f.view.bar1Values, (std::vector<float>{static_cast<float>(1.0 / 3 * 100),
                                                   static_cast<float>(2.0 / 3 * 100)}));
}

TEST(CloseOut, ABookThatCannotBeOpenedOnlyGetsTheMessage) {
  PassFixture f;
  std::string typed = f.dir.folder("no-book");
  typed.pop_back();
  f.view.form.oldBookFolder = typed + " ";

  f.converter.closeOutOldBook();

  EXPECT_EQ(f.view.messages, std::vector<std::string>{msg::ErrorOpeningOldFile});
  EXPECT_EQ(f.view.form.oldBookFolder, typed + "/");
  EXPECT_TRUE(f.view.bar1Values.empty());
  EXPECT_EQ(f.manager.calls(rm::op::Open), 1);
  EXPECT_EQ(f.manager.calls(rm::op::GetGreaterOrEqual), 0);
  EXPECT_EQ(f.manager.calls(rm::op::Close), 0);
  EXPECT_NE(f.converter.lastStatus, 0);
  EXPECT_TRUE(f.view.reports.empty());
}

}  // namespace
}  // namespace varnok::testing
