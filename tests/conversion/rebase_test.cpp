// The new book rebase: guns gone before the conversion date are removed,
// the rest received on or before it read as received from the previous
// licensee on it, under the two options and with the prefix.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "pass_fixture.h"

namespace varnok::testing {
namespace {

namespace msg = conversion::msg;

// What the rewrite pass makes of an entry with neither option checked and
// no prefix.
GunRecord rebased(GunRecord entry, const FakeView& view) {
  entry = receivedFrom(entry, view.form.previousLicensee);
  entry.DateIn = kD;
  return entry;
}

GunRecord filled(const std::string& id, const std::string& dateIn, const std::string& dateOut,
                 const std::string& status) {
  GunRecord entry = gun(id, dateIn, dateOut, status);
  entry.RecvLastName = "SELLER";
  entry.RecvZip = "11111";
  entry.Field06 = "A77";
  entry.DispLastName = "BUYER";
  entry.DispFlag = -1;
  return entry;
}

TEST(Rebase, KeepsAndRewritesWhatWasStillInTheStoreAndRemovesWhatHadGone) {
  PassFixture f;
  const std::vector<GunRecord> kept = {
      filled("OUT-ON-D", kDayBefore, kD, "SOLD"),           // DateOut = D is not before D
      filled("IN-ON-D", kD, kDayAfter, "SOLD"),             // received on D
      filled("PAWN-GONE", kDayBefore, kDayBefore, "PAWN"),  // PAWN whatever its DateOut
      filled("SALE-ITEM", kDayBefore, kBlankDate, "SALE ITEM"),
      filled("BLANK-IN-PAWN", kBlankDate, kBlankDate, "PAWNED")};
  const std::vector<GunRecord> removed = {
      filled("SOLD-BEFORE", kDayBefore, kDayBefore, "SOLD"),
      filled("SOLD-NO-OUT", kDayBefore, kBlankDate, "SOLD"),  // a blank date is before D
      filled("LOWER-PAWN", kDayBefore, kDayBefore, "pawn"),
      filled("BLANK-IN-SOLD", kBlankDate, kDayBefore, "SOLD")};
  const std::vector<GunRecord> after = {filled("AFTER-PAWN", kDayAfter, kBlankDate, "PAWN"),
                                        filled("AFTER-SOLD", kDayAfter, kDayBefore, "SOLD")};
  std::vector<GunRecord> book = kept;
  book.insert(book.end(), removed.begin(), removed.end());
  book.insert(book.end(), after.begin(), after.end());
  makeBook(f.newFolder, book);
  f.converter.newBookCount = static_cast<int32_t>(book.size());

  f.converter.rebaseNewBook();

  const auto result = f.newBook();
  EXPECT_EQ(result.size(), kept.size() + after.size());
  for (const auto& entry : kept) {
    SCOPED_TRACE(entry.Field00.str());
    const auto now = findEntry(result, entry.Field00.view());
    ASSERT_TRUE(now);
    EXPECT_EQ(*now, rebased(entry, f.view));
  }
  for (const auto& entry : after) {
    SCOPED_TRACE(entry.Field00.str());
    EXPECT_EQ(*findEntry(result, entry.Field00.view()), entry);
  }
  EXPECT_EQ(f.converter.newBookCount, static_cast<int32_t>(book.size() - removed.size()));
  EXPECT_TRUE(f.view.messages.empty());
  EXPECT_TRUE(f.view.reports.empty());
}

TEST(Rebase, TheOptionsKeepTheReceivedFromDetailsOrTheDateReceived) {
  {
    SCOPED_TRACE("mnuOption1");
    PassFixture f;
    const GunRecord entry = filled("G1", kDayBefore, kBlankDate, "PAWN");
    makeBook(f.newFolder, {entry});
    f.view.form.keepReceivedFrom = true;
    f.view.form.leaveReceivedInfo = true;  // read by nothing
    f.converter.rebaseNewBook();
    GunRecord expected = entry;
    expected.DateIn = kD;
    EXPECT_EQ(f.newBook().at(0), expected);
  }
  {
    SCOPED_TRACE("mnuOption2");
    PassFixture f;
    const GunRecord entry = filled("G1", kDayBefore, kBlankDate, "PAWN");
    makeBook(f.newFolder, {entry});
    f.view.form.keepDateIn = true;
    f.converter.rebaseNewBook();
    GunRecord expected = rebased(entry, f.view);
    expected.DateIn = kDayBefore;
    EXPECT_EQ(f.newBook().at(0), expected);
  }
}

TEST(Rebase, TheReceivedFromDetailsAreTakenAsTypedAndCutToWidth) {
  PassFixture f;
  makeBook(f.newFolder, {filled("G1", kDayBefore, kBlankDate, "PAWN")});
  f.view.form.previousLicensee = {"prior", " PAT ", "123456789 123456789 123456789 12345", "\xC3\x89TAMPES",
                  "TEXAS", "750011234"};

  f.converter.rebaseNewBook();

  const GunRecord entry = f.newBook().at(0);
  EXPECT_EQ(entry.RecvLastName.view(), "prior" + std::string(10, ' '));
  EXPECT_EQ(entry.RecvFirstName.view(), " PAT " + std::string(15, ' '));
  EXPECT_EQ(entry.RecvAddress.view(), "123456789 123456789 123456789 ");
  EXPECT_EQ(entry.RecvCity.view(), "\xC9TAMPES" + std::string(13, ' '));
  EXPECT_EQ(entry.RecvState.view(), "TE");
  EXPECT_EQ(entry.RecvZip.view(), "75001");
}

TEST(Rebase, ThePrefixGoesInFrontOfField06InUpperCaseWithoutBlanks) {
  struct Case {
    const char* prefix;
    const char* field06;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {" nw ", "A77", "NWA77" + std::string(10, ' ')},
      {"AB", "ABCDEFGHIJKLMNO", "ABABCDEFGHIJKLM"},
      {"   ", "A77", "A77" + std::string(12, ' ')},
      {"", "A77", "A77" + std::string(12, ' ')},
      {"\xC3\xA9t\xC3\xA9", "X", "\xC9T\xC9X" + std::string(11, ' ')},  // "été", Windows-1252
      {"A B", "", "A B" + std::string(12, ' ')},  // blanks inside stay
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("prefix '") + c.prefix + "' field06 '" + c.field06 + "'");
    PassFixture f;
    GunRecord entry = gun("G1", kDayBefore, kBlankDate, "PAWN");
    entry.Field06 = c.field06;
    makeBook(f.newFolder, {entry, gun("LATE", kDayAfter, kBlankDate, "PAWN")});
    f.view.form.newBookPrefix = c.prefix;

    f.converter.rebaseNewBook();

    EXPECT_EQ(findEntry(f.newBook(), "G1")->Field06.view(), c.expected);
    EXPECT_EQ(findEntry(f.newBook(), "LATE")->Field06.view(), std::string(15, ' '));
  }
}

TEST(Rebase, BothOptionsAndNoPrefixStillUpdateEveryCarriedOverEntryUnchanged) {
  PassFixture f;
  const std::vector<GunRecord> book = {filled("A", kDayBefore, kBlankDate, "PAWN"),
                                       filled("B", kD, kDayAfter, "SOLD"),
                                       filled("C", kBlankDate, kBlankDate, "SALE"),
                                       filled("GONE", kDayBefore, kDayBefore, "SOLD"),
                                       filled("LATE", kDayAfter, kBlankDate, "PAWN")};
  makeBook(f.newFolder, book);
  f.view.form.keepReceivedFrom = true;
  f.view.form.keepDateIn = true;
  f.view.form.newBookPrefix = "";

  f.converter.rebaseNewBook();

  EXPECT_EQ(f.manager.calls(rm::op::Update), 3);  // A, B and C
  const auto result = f.newBook();
  EXPECT_EQ(idsOf(result), (std::vector<std::string>{"A", "B", "C", "LATE"}));
  for (const auto& entry : result) EXPECT_EQ(entry, *findEntry(book, entry.Field00.view()));
}

TEST(Rebase, ASecondConversionPrefixesAgainAndSetsTheReceivedFromDetailsAgain) {
  PassFixture f;
  GunRecord entry = filled("G1", kDayBefore, kBlankDate, "PAWN");
  makeBook(f.oldFolder, {});
  makeBook(f.newFolder, {entry});
  f.view.form.newBookPrefix = "nw";

  f.converter.runConversion();
  f.view.form.previousLicensee[0] = "SECOND";
  f.converter.runConversion();

  const GunRecord now = f.newBook().at(0);
  EXPECT_EQ(now.Field06.view(), "NWNWA77" + std::string(8, ' '));
  EXPECT_EQ(now.RecvLastName.view(), "SECOND" + std::string(9, ' '));
  EXPECT_EQ(now.DateIn.view(), kD);
  EXPECT_EQ(f.converter.outcome(), Converter::Outcome::Completed);
}

TEST(Rebase, DeletionsLowerTheCountAndTheBarFollowsEachPassHonestly) {
  PassFixture f;
  // Ten entries on ten dates before D, every other one gone before D.
  std::vector<GunRecord> book;
  for (int i = 0; i < 10; ++i) {
    const std::string date = "200401" + std::string(i < 9 ? "0" : "") + std::to_string(i + 1);
    book.push_back(gun("G" + std::to_string(i), date, kDayBefore, i % 2 ? "PAWN" : "SOLD"));
  }
  makeBook(f.newFolder, book);
  f.converter.newBookCount = 10;

  f.converter.rebaseNewBook();

  EXPECT_EQ(f.converter.newBookCount, 5);
  EXPECT_EQ(f.newBook().size(), 5u);
  // Removal pass: one read per entry, 10 % each. Rewrite pass: against the
  // lowered count of 5.
  EXPECT_EQ(f.view.bar2Values,
            (std::vector<float>{10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 20, 40, 60, 80, 100}));
  EXPECT_TRUE(f.view.bar1Values.empty());
}

TEST(Rebase, DeletionsAmongEntriesOfOneDateKeepTheBarWithinItsShare) {
  PassFixture f;
  // On one date: kept and gone entries in turn. The walk goes on after each
  // deletion without reading the kept ones of that date again.
  std::vector<GunRecord> book;
  for (int i = 0; i < 8; ++i)
    book.push_back(gun("G" + std::to_string(i), kDayBefore, kDayBefore, i % 2 ? "SOLD" : "PAWN"));
  for (int i = 0; i < 4; ++i)
    book.push_back(gun("L" + std::to_string(i), kDayAfter, kBlankDate, "PAWN"));
  makeBook(f.newFolder, book);
  f.converter.newBookCount = 12;

  f.converter.rebaseNewBook();

  EXPECT_EQ(idsOf(f.newBook()),
            (std::vector<std::string>{"G0", "G2", "G4", "G6", "L0", "L1", "L2", "L3"}));
  EXPECT_EQ(f.converter.newBookCount, 8);
  const auto& bar = f.view.bar2Values;
  ASSERT_FALSE(bar.empty());
  EXPECT_TRUE(std::all_of(bar.begin(), bar.end(), [](float v) { return v > 0 && v <= 100; }));
  // The rewrite pass starts again from 0 and ends at 8 of 8.
  const std::vector<float> rewrite(bar.end() - 8, bar.end());
  EXPECT_EQ(rewrite, (std::vector<float>{12.5, 25, 37.5, 50, 62.5, 75, 87.5, 100}));
  // Removal pass: each of the 12 entries read once, the last at 100; one
  // positioning in each pass.
  EXPECT_EQ(bar.size(), 12u + 8u);
  EXPECT_EQ(std::vector<float>(bar.begin(), bar.begin() + 12).back(), 100.0f);
}

TEST(Rebase, ReadsEachEntryOfALargeBookOnlyAFewTimes) {
  // Kept and gone guns in turn, all received on one date. A walk that went
  // back to the lowest date, or to the first entry of the deleted one's
  // date, after each deletion would read the kept ones again every time:
  // some 100 x 100 reads instead of a few hundred.
  PassFixture f;
  std::vector<GunRecord> book;
  for (int i = 0; i < 200; ++i)
    book.push_back(gun("G" + std::to_string(i), kDayBefore, kDayBefore, i % 2 ? "SOLD" : "PAWN"));
  makeBook(f.newFolder, book);
  f.converter.newBookCount = 200;

  f.converter.rebaseNewBook();

  const auto after = f.newBook();
  ASSERT_EQ(after.size(), 100u);
  for (const auto& entry : after) EXPECT_EQ(entry.DateIn.view(), kD);
  EXPECT_LE(entryReads(f.manager), 4 * 200);
}

TEST(Rebase, ABookThatCannotBeOpenedGetsTheMessageAndMarksTheBooksInvalid) {
  PassFixture f;
  f.view.form.newBookFolder = f.dir.folder("no-book");
  f.converter.booksValid = true;
  f.converter.newBookCount = 5;

  f.converter.rebaseNewBook();

  EXPECT_EQ(f.view.messages, std::vector<std::string>{msg::ErrorOpeningNewBook});
  EXPECT_FALSE(f.converter.booksValid);
  EXPECT_EQ(f.converter.newBookCount, 5);
  EXPECT_TRUE(f.view.bar2Values.empty());
  EXPECT_EQ(f.manager.calls(rm::op::Open), 1);
  EXPECT_EQ(f.manager.calls(rm::op::Close), 0);
}

}  // namespace
}  // namespace varnok::testing
