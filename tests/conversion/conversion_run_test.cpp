// The conversion run behind "Begin": the input check, the refusal of one
// book given twice, the book check, both passes, what the window shows
// meanwhile, and what the run came to.
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "pass_fixture.h"

namespace varnok::testing {
namespace {

namespace msg = conversion::msg;
using conversion::kDefaultPointer;
using conversion::kHourglass;
using Outcome = Converter::Outcome;
using Shown = conversion::Shown;

// Also keeps every change of visibility, in order, and whether both bars
// were visible whenever a bar was set.
class WatchedView : public FakeView {
 public:
  std::vector<std::pair<Shown, bool>> visibility;
  bool barSetWhileHidden = false;

  void setVisible(Shown control, bool shown) override {
    visibility.emplace_back(control, shown);
    FakeView::setVisible(control, shown);
  }
  void setBarValue(Bar bar, float value) override {
    const Shown which = bar == Bar::OldBook ? Shown::OldBookBar : Shown::NewBookBar;
    if (!visible[which]) barSetWhileHidden = true;
    FakeView::setBarValue(bar, value);
  }
};

using RunFixture = BasicPassFixture<WatchedView>;

void makeSmallBooks(RunFixture& f) {
  makeBook(f.oldFolder,
           {gun("O1", kD, kBlankDate, "PAWN"), gun("O2", kDayAfter, kBlankDate, "SALE")});
  makeBook(f.newFolder, {gun("N1", kDayBefore, kBlankDate, "PAWN"),
                         gun("N2", kDayBefore, kDayBefore, "SOLD"),
                         gun("N3", kDayAfter, kBlankDate, "PAWN")});
}

TEST(ConversionRun, RefusesWhenARequiredBoxIsEmptyOrTheDateIsNotADate) {
  std::vector<std::pair<std::string, std::function<void(FakeView&)>>> cases;
  for (int i = 0; i < 6; ++i) {
    cases.emplace_back("Text1(" + std::to_string(i) + ")",
                       [i](FakeView& v) { v.form.previousLicensee[i].clear(); });
    cases.emplace_back("Text2(" + std::to_string(i) + ")", [i](FakeView& v) { v.form.newLicensee[i].clear(); });
  }
  cases.emplace_back("Text3", [](FakeView& v) { v.form.oldBookFolder.clear(); });
  cases.emplace_back("Text4", [](FakeView& v) { v.form.newBookFolder.clear(); });
  for (const char* date : {"", "02/30/2004", "12/__/2004", "13/01/2004", "3/15/2004"})
    cases.emplace_back(std::string("date '") + date + "'",
                       [date](FakeView& v) { v.form.conversionDate = date; });

  for (const auto& [name, spoil] : cases) {
    SCOPED_TRACE(name);
    RunFixture f;
    makeSmallBooks(f);
    spoil(f.view);
    f.converter.oldBookCount = 7;
    f.converter.newBookCount = 8;

    f.converter.runConversion();

    EXPECT_EQ(f.view.messages, std::vector<std::string>{msg::FillAllBoxes});
    EXPECT_TRUE(f.view.pointerChanges.empty());
    EXPECT_TRUE(f.view.visibility.empty());
    EXPECT_EQ(f.manager.calls(rm::op::Open), 0);
    EXPECT_EQ(f.converter.oldBookCount, 7);
    EXPECT_EQ(f.converter.newBookCount, 8);
    EXPECT_EQ(f.converter.outcome(), Outcome::Refused);
  }
}

TEST(ConversionRun, BoxesOfBlanksAndAnEmptyPrefixPass) {
  RunFixture f;
  makeSmallBooks(f);
  f.view.form.previousLicensee[0] = "   ";
  f.view.form.newLicensee[3] = " ";
  f.view.form.newBookPrefix = "";

  f.converter.runConversion();

  EXPECT_EQ(f.view.messages,
            (std::vector<std::string>{"Number of old guns = 2 Number of new guns 3", msg::Finished}));
  EXPECT_EQ(f.converter.outcome(), Outcome::Completed);
  // The blanks are written as typed.
  EXPECT_EQ(findEntry(f.oldBook(), "O1")->DispCity.view(), std::string(20, ' '));
  EXPECT_EQ(findEntry(f.newBook(), "N1")->RecvLastName.view(), std::string(15, ' '));
}

TEST(ConversionRun, RefusesOneBookGivenAsBothBeforeOpeningAnything) {
  RunFixture f;
  makeSmallBooks(f);
  const auto before = f.oldBook();
  std::string sameFolder = f.oldFolder;
  sameFolder.pop_back();
  f.view.form.newBookFolder = sameFolder + "  ";  // the same folder, typed differently

  f.converter.runConversion();

  EXPECT_EQ(f.view.messages, std::vector<std::string>{msg::SameBook});
  EXPECT_TRUE(f.view.pointerChanges.empty());
  EXPECT_EQ(f.manager.calls(rm::op::Open), 0);
  EXPECT_EQ(f.converter.outcome(), Outcome::Refused);
  EXPECT_EQ(f.oldBook(), before);
}

TEST(ConversionRun, AMissingOldBookIsToldThenFinishedWithBothBooksUntouched) {
  RunFixture f;
  makeSmallBooks(f);
  const auto newBefore = f.newBook();
  f.view.form.oldBookFolder = f.dir.folder("nothing-here");
  f.converter.newBookCount = 42;

  f.converter.runConversion();

  EXPECT_EQ(f.view.messages, (std::vector<std::string>{msg::OldBookMissing, msg::Finished}));
  EXPECT_EQ(f.view.pointerChanges, (std::vector<int>{kHourglass, kDefaultPointer}));
  for (const auto& [control, shown] : f.view.visibility) EXPECT_FALSE(shown);
  EXPECT_TRUE(f.view.bar1Values.empty());
  EXPECT_TRUE(f.view.bar2Values.empty());
  EXPECT_EQ(f.converter.newBookCount, 42);
  EXPECT_EQ(f.newBook(), newBefore);
  EXPECT_EQ(f.converter.outcome(), Outcome::BookNotOpened);
  EXPECT_EQ(f.converter.unopenedBooks(),
            (std::vector<std::string>{"old book " + f.dir.folder("nothing-here") +
                                      "FILE3.DAT: cannot open: file not found (status 12)"}));
  EXPECT_TRUE(f.converter.ignoredReportsWarning().empty());
}

TEST(ConversionRun, ACompleteRunShowsProgressThenHidesItAndRestoresThePointer) {
  RunFixture f;
  makeSmallBooks(f);

  f.converter.runConversion();

  EXPECT_EQ(f.view.messages,
            (std::vector<std::string>{"Number of old guns = 2 Number of new guns 3", msg::Finished}));
  EXPECT_EQ(f.view.pointerChanges, (std::vector<int>{kHourglass, kDefaultPointer}));
  const std::vector<std::pair<Shown, bool>> expected = {
      {Shown::OldBookLabel, true},       {Shown::NewBookLabel, true},       {Shown::OldBookBar, true},
      {Shown::NewBookBar, true},  {Shown::OldBookLabel, false},      {Shown::NewBookLabel, false},
      {Shown::OldBookBar, false}, {Shown::NewBookBar, false}};
  EXPECT_EQ(f.view.visibility, expected);
  EXPECT_FALSE(f.view.barSetWhileHidden);
  EXPECT_FALSE(f.view.bar1Values.empty());
  EXPECT_FALSE(f.view.bar2Values.empty());
  EXPECT_EQ(f.converter.outcome(), Outcome::Completed);

  // Both passes ran: the old book ends on D, the new one begins there.
  EXPECT_EQ(idsOf(f.oldBook()), (std::vector<std::string>{"O1"}));
  EXPECT_EQ(findEntry(f.oldBook(), "O1")->Status.view(), kSold);
  EXPECT_EQ(idsOf(f.newBook()), (std::vector<std::string>{"N1", "N3"}));
  EXPECT_EQ(findEntry(f.newBook(), "N1")->DateIn.view(), kD);
}

TEST(ConversionRun, APassThatCannotOpenItsBookEndsTheRunAsNotCompleted) {
  {
    SCOPED_TRACE("close-out");
    RunFixture f;
    makeSmallBooks(f);
    // The third reads the old book for signs of a conversion.
    f.manager.failCalls(rm::op::Open, rm::status::FileLocked, 4);  // the close-out's open

    f.converter.runConversion();

    EXPECT_EQ(f.view.messages,
              (std::vector<std::string>{"Number of old guns = 2 Number of new guns 3",
                                        msg::ErrorOpeningOldFile,
                                        "old book " + f.oldFolder +
                                            "FILE3.DAT: cannot open: book open elsewhere "
                                            "(status 85)",
                                        msg::Finished}));
    EXPECT_EQ(f.converter.outcome(), Outcome::BookNotOpened);
    EXPECT_TRUE(findEntry(f.oldBook(), "O2"));   // the old book as it was
    EXPECT_FALSE(findEntry(f.newBook(), "N2"));  // the rebase ran all the same
  }
  {
    SCOPED_TRACE("rebase");
    RunFixture f;
    makeSmallBooks(f);
    f.manager.failCalls(rm::op::Open, rm::status::FileLocked, 5);  // the rebase's open

    f.converter.runConversion();

    EXPECT_EQ(f.view.messages,
              (std::vector<std::string>{"Number of old guns = 2 Number of new guns 3",
                                        msg::ErrorOpeningNewBook,
                                        "new book " + f.newFolder +
                                            "FILE3.DAT: cannot open: book open elsewhere "
                                            "(status 85)",
                                        msg::Finished}));
    EXPECT_FALSE(f.converter.booksValid);
    EXPECT_EQ(f.converter.outcome(), Outcome::BookNotOpened);
    EXPECT_EQ(f.view.pointerChanges, (std::vector<int>{kHourglass, kDefaultPointer}));
  }
}

// After a run whose rebase could not open the new book, running again ends
// both books as one run that met no refusal: the close-out changes nothing
// more and the prefix goes on once.
TEST(ConversionRun, RunningAgainAfterTheRebaseCouldNotOpenItsBookConvertsOnce) {
  RunFixture f, reference;
  for (RunFixture* run : {&f, &reference}) {
    makeSmallBooks(*run);
    run->view.form.newBookPrefix = "NW";
  }
  Converter(reference.view, rm::bookEngine()).runConversion();
  // The rebase's open: the third reads the old book for signs of a
  // conversion, the fourth the new book for the models the prefix would cut.
  f.manager.failCalls(rm::op::Open, rm::status::IoError, 6);
  f.converter.runConversion();
  ASSERT_EQ(f.converter.outcome(), Outcome::BookNotOpened);

  Converter again(f.view, rm::bookEngine());
  again.runConversion();

  EXPECT_EQ(again.outcome(), Outcome::Completed);
  EXPECT_EQ(f.oldBook(), reference.oldBook());
  EXPECT_EQ(f.newBook(), reference.newBook());
}

// Between the counts the operator is shown and the passes, no other
// program can write to either book; once the run is over, both are free.
TEST(ConversionRun, KeepsBothBooksFromOtherWritersFromTheirCountsToTheirPasses) {
  BasicPassFixture<LockWatchingView> f;
  makeBook(f.oldFolder,
           {gun("O1", kD, kBlankDate, "PAWN"), gun("O2", kDayAfter, kBlankDate, "SALE")});
  makeBook(f.newFolder, {gun("N1", kDayBefore, kBlankDate, "PAWN")});
  f.view.files = {f.oldFolder + "FILE3.DAT", f.newFolder + "FILE3.DAT"};

  f.converter.runConversion();

  EXPECT_EQ(f.view.messages.back(), msg::Finished);
  EXPECT_EQ(f.view.lockedWhileCountsShow, (std::vector<bool>{true, true}));
  for (const std::string& file : f.view.files) EXPECT_FALSE(lockedElsewhere(file)) << file;
}

}  // namespace
}  // namespace varnok::testing
