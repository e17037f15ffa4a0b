// The book passes under the error trap: refused writes reported and handled
// as the operator chooses, counters that overflow, Abort, and a process
// killed in the middle of a pass.
#include <csignal>
#include <cstdint>
#include <deque>
#include <limits>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "pass_fixture.h"

namespace varnok::testing {
namespace {

using errortrap::Answer;

bool isEntry(const FaultyRecordManager::Call& call, std::string_view id) {
  if (call.dataLength < 15) return false;
  const std::string_view field00(reinterpret_cast<const char*>(call.data), 15);
  return field00 == gunbook::FixedText<15>(id).view();
}

// Every `operation` on entry `id` answers `status`.
void refuseFor(FaultyRecordManager& manager, uint16_t operation, std::string_view id,
               int16_t status) {
  const std::string which(id);
  manager.setHook([=](const FaultyRecordManager::Call& call) -> std::optional<int16_t> {
    if (call.operation == operation && isEntry(call, which)) return status;
    return std::nullopt;
  });
}

std::deque<Answer> many(Answer answer) { return std::deque<Answer>(10, answer); }

TEST(PassErrors, ARefusedUpdateIsReportedAndIgnoreLeavesTheEntryAsItWas) {
  {
    SCOPED_TRACE("close-out");
    PassFixture f;
    makeBook(f.oldFolder, {gun("G1", kD, kBlankDate, "PAWN"), gun("G2", kD, kBlankDate, "PAWN"),
                           gun("G3", kD, kBlankDate, "PAWN")});
    const auto before = f.oldBook();
    refuseFor(f.manager, rm::op::Update, "G2", rm::status::RecordLocked);
    f.view.answers = many(Answer::Ignore);
    f.converter.oldBookCount = 3;

    f.converter.closeOutOldBook();

    ASSERT_EQ(f.view.reports.size(), 1u);
    expectReport(f.view.reports[0], "Error 30003",
                 "Update refused with status 84 (entry locked) for entry G2", "ConvertOld");
    EXPECT_EQ(f.converter.ignoredReports(), 1);
    EXPECT_EQ(f.converter.ignoredReportsWarning(), "1" + std::string(conversion::msg::IgnoredReportsTail));
    const auto after = f.oldBook();
    EXPECT_EQ(*findEntry(after, "G2"), *findEntry(before, "G2"));
    EXPECT_EQ(findEntry(after, "G1")->Status.view(), kSold);
    EXPECT_EQ(findEntry(after, "G3")->Status.view(), kSold);
  }
  {
    SCOPED_TRACE("rebase");
    PassFixture f;
    makeBook(f.newFolder, {gun("G1", kDayBefore, kBlankDate, "PAWN"),
                           gun("G2", kDayBefore, kBlankDate, "PAWN"),
                           gun("G3", kDayBefore, kBlankDate, "PAWN")});
    const auto before = f.newBook();
    refuseFor(f.manager, rm::op::Update, "G2", rm::status::DiskFull);
    f.view.answers = many(Answer::Ignore);

    f.converter.rebaseNewBook();

    ASSERT_EQ(f.view.reports.size(), 1u);
    expectReport(f.view.reports[0], "Error 30003",
                 "Update refused with status 18 (disk full) for entry G2", "ConvNew");
    const auto after = f.newBook();
    EXPECT_EQ(*findEntry(after, "G2"), *findEntry(before, "G2"));
    EXPECT_EQ(findEntry(after, "G1")->DateIn.view(), kD);
    EXPECT_EQ(findEntry(after, "G3")->DateIn.view(), kD);
  }
}

TEST(PassErrors, RetryMakesARefusedUpdateAgain) {
  PassFixture f;
  makeBook(f.oldFolder, {gun("G1", kD, kBlankDate, "PAWN"), gun("G2", kD, kBlankDate, "SALE")});
  f.manager.failCalls(rm::op::Update, rm::status::RecordLocked, 1, 1);
  f.view.answers = {Answer::Retry};

  f.converter.closeOutOldBook();

  EXPECT_EQ(f.view.reports.size(), 1u);
  EXPECT_EQ(f.manager.calls(rm::op::Update), 3);
  for (const auto& entry : f.oldBook()) EXPECT_EQ(entry.Status.view(), kSold);
}

TEST(PassErrors, AnIgnoredRefusedDeleteIsPassedOverOnceAndTheWalkGoesOn) {
  {
    SCOPED_TRACE("close-out");
    PassFixture f;
    // On one date, so that the deletion after the refused entry goes on from
    // right behind it.
    makeBook(f.oldFolder,
             {gun("K", kD, kDayBefore, "SOLD"), gun("X1", kDayAfter, kBlankDate, "PAWN"),
              gun("X2", kDayAfter, kBlankDate, "PAWN"), gun("X3", kDayAfter, kBlankDate, "PAWN")});
    refuseFor(f.manager, rm::op::Delete, "X2", rm::status::RecordLocked);
    f.view.answers = many(Answer::Ignore);

    f.converter.closeOutOldBook();

    ASSERT_EQ(f.view.reports.size(), 1u);
    expectReport(f.view.reports[0], "Error 30004",
                 "Delete refused with status 84 (entry locked) for entry X2", "ConvertOld");
    EXPECT_EQ(idsOf(f.oldBook()), (std::vector<std::string>{"K", "X2"}));
    EXPECT_EQ(f.manager.calls(rm::op::Close), 1);
  }
  {
    SCOPED_TRACE("rebase");
    PassFixture f;
    makeBook(f.newFolder, {gun("K", kDayBefore, kDayBefore, "PAWN"),
                           gun("S1", kDayBefore, kDayBefore, "SOLD"),
                           gun("S2", kDayBefore, kDayBefore, "SOLD"),
                           gun("S3", kDayBefore, kDayBefore, "SOLD")});
    refuseFor(f.manager, rm::op::Delete, "S2", rm::status::RecordLocked);
    f.view.answers = many(Answer::Ignore);
    f.converter.newBookCount = 4;

    f.converter.rebaseNewBook();

    ASSERT_EQ(f.view.reports.size(), 1u);
    expectReport(f.view.reports[0], "Error 30004",
                 "Delete refused with status 84 (entry locked) for entry S2", "ConvNew");
    EXPECT_EQ(idsOf(f.newBook()), (std::vector<std::string>{"K", "S2"}));
    EXPECT_EQ(f.converter.newBookCount, 2);
  }
}

TEST(PassErrors, RetryMakesARefusedDeleteAgain) {
  PassFixture f;
  makeBook(f.newFolder, {gun("S1", kDayBefore, kDayBefore, "SOLD"),
                         gun("K", kDayBefore, kBlankDate, "PAWN")});
  f.manager.failCalls(rm::op::Delete, rm::status::RecordLocked, 1, 1);
  f.view.answers = {Answer::Retry};
  f.converter.newBookCount = 2;

  f.converter.rebaseNewBook();

  EXPECT_EQ(f.view.reports.size(), 1u);
  EXPECT_EQ(idsOf(f.newBook()), std::vector<std::string>{"K"});
  EXPECT_EQ(f.converter.newBookCount, 1);
}

TEST(PassErrors, ARefusedCloseIsReportedAndRetryMakesThePassDurable) {
  {
    SCOPED_TRACE("close-out");
    PassFixture f;
    makeBook(f.oldFolder, {gun("G1", kD, kBlankDate, "PAWN")});
    f.manager.failCalls(rm::op::Close, rm::status::DiskFull, 1, 1);
    f.view.answers = {Answer::Retry};

    f.converter.closeOutOldBook();

    ASSERT_EQ(f.view.reports.size(), 1u);
    expectReport(f.view.reports[0], "Error 30001", "Close refused with status 18 (disk full)",
                 "ConvertOld");
    EXPECT_EQ(f.converter.lastStatus, 0);
    EXPECT_EQ(f.oldBook().at(0).Status.view(), kSold);
  }
  {
    SCOPED_TRACE("rebase");
    PassFixture f;
    makeBook(f.newFolder, {gun("G1", kDayBefore, kBlankDate, "PAWN")});
    f.manager.failCalls(rm::op::Close, rm::status::DiskFull, 1, 1);
    f.view.answers = {Answer::Retry};

    f.converter.rebaseNewBook();

    ASSERT_EQ(f.view.reports.size(), 1u);
    expectReport(f.view.reports[0], "Error 30001", "Close refused with status 18 (disk full)",
                 "ConvNew");
    EXPECT_EQ(f.newBook().at(0).DateIn.view(), kD);
  }
}

// A Close refused and let go in the book check or in a pass: the book is
// released, so the next run in this long-lived process opens it and ends
// the books as a run that met no refusal.
struct IgnoredClose {
  const char* name;
  int close;  // counting every Close of the run: check old, check new, close-out, rebase
  const char* procedure;
};

std::ostream& operator<<(std::ostream& out, const IgnoredClose& c) { return out << c.name; }

class IgnoredCloseTest : public ::testing::TestWithParam<IgnoredClose> {};

TEST_P(IgnoredCloseTest, TheNextRunInTheProcessOpensTheBook) {
  const IgnoredClose c = GetParam();
  PassFixture f;
  const std::vector<GunRecord> oldBook{gun("G1", kD, kBlankDate, "PAWN"),
                                       gun("X", kDayAfter, kBlankDate, "PAWN")};
  const std::vector<GunRecord> newBook{gun("G1", kD, kBlankDate, "PAWN"),
                                       gun("S1", kDayBefore, kDayBefore, "SOLD")};
  makeBook(f.oldFolder, oldBook);
  makeBook(f.newFolder, newBook);
  PassFixture reference;
  makeBook(reference.oldFolder, oldBook);
  makeBook(reference.newFolder, newBook);
  Converter(reference.view, rm::bookEngine()).runConversion();

  f.manager.failCalls(rm::op::Close, rm::status::DiskFull, c.close);
  f.view.answers = {Answer::Ignore};
  f.converter.runConversion();
  ASSERT_EQ(f.view.reports.size(), 1u);
  expectReport(f.view.reports[0], "Error 30001", "Close refused with status 18 (disk full)",
               c.procedure);

  // The books read as converted (unless the close-out's Close was the one
  // let go): Yes to converting them again.
  f.view.againAnswer = true;
  Converter again(f.view, rm::bookEngine());
  again.runConversion();
  EXPECT_EQ(again.outcome(), Converter::Outcome::Completed);
  EXPECT_EQ(f.view.reports.size(), 1u);
  EXPECT_EQ(f.oldBook(), reference.oldBook());
  EXPECT_EQ(f.newBook(), reference.newBook());
}

INSTANTIATE_TEST_SUITE_P(
    EachClose, IgnoredCloseTest,
    ::testing::Values(IgnoredClose{"CheckOfTheOldBook", 1, "CheckValidFiles"},
                      IgnoredClose{"CheckOfTheNewBook", 2, "CheckValidFiles"},
                      IgnoredClose{"CloseOut", 3, "ConvertOld"},
                      IgnoredClose{"Rebase", 4, "ConvNew"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PassErrors, ACountThatWouldOverflowIsReportedAsError6) {
  // The old book's counts are never lowered and its visited count cannot
  // reach the limit from outside; the new book's count is lowered by the
  // deletions and can be driven below the smallest 32-bit value.
  PassFixture f;
  makeBook(f.newFolder, {gun("S1", kDayBefore, kDayBefore, "SOLD"),
                         gun("K", kDayBefore, kBlankDate, "PAWN")});
  f.converter.newBookCount = std::numeric_limits<int32_t>::min();
  f.view.answers = {Answer::Ignore};

  f.converter.rebaseNewBook();

  ASSERT_EQ(f.view.reports.size(), 1u);
  expectReport(f.view.reports[0], "Error 6", "Overflow", "ConvNew");
  EXPECT_EQ(f.converter.newBookCount, std::numeric_limits<int32_t>::min());
  // Ignore skipped the lowering alone: the rest of the pass ran.
  EXPECT_EQ(idsOf(f.newBook()), std::vector<std::string>{"K"});
  EXPECT_EQ(findEntry(f.newBook(), "K")->DateIn.view(), kD);
}

TEST(PassErrors, TheBookChecksErrorsAreItsOwnAndRetryCountsAgain) {
  PassFixture f;
  makeBook(f.oldFolder, {gun("G1", kD, kBlankDate, "PAWN"), gun("G2", kD, kBlankDate, "PAWN")});
  makeBook(f.newFolder, {gun("N1", kD, kBlankDate, "PAWN")});
  f.manager.setHook([](const FaultyRecordManager::Call& call) -> std::optional<int16_t> {
    if (call.operation == rm::op::Stat && call.count == 1)
      throw errortrap::RunTimeError(errortrap::err::OutOfMemory);
    return std::nullopt;
  });
  f.view.answers = {Answer::Retry};

  f.converter.checkBooks();

  ASSERT_EQ(f.view.reports.size(), 1u);
  expectReport(f.view.reports[0], "Error 7", "Out of memory", "CheckValidFiles");
  EXPECT_EQ(f.view.messages,
            std::vector<std::string>{"Number of old guns = 2 Number of new guns 1"});
}

// In a child process, so that Abort and the kill end the child alone.
// A date box that fails when read once the run has checked it.
struct FailingDateView : FakeView {
  int dateReads = 0;
  int failFrom = 1;
  std::string text(TextBox box, int index) override {
    if (box == TextBox::ConversionDate && ++dateReads >= failFrom)
      throw errortrap::RunTimeError(errortrap::err::TypeMismatch);
    return FakeView::text(box, index);
  }
};

TEST(PassErrors, APassWhoseDateCouldNotBeReadLeavesItsBookAlone) {
  BasicPassFixture<FailingDateView> f;
  makeBook(f.oldFolder,
           {gun("G1", kD, kBlankDate, "PAWN"), gun("G2", kDayAfter, kBlankDate, "SOLD")});
  makeBook(f.newFolder, {gun("G1", kD, kBlankDate, "PAWN"), gun("G3", kDayBefore, kDayBefore, "SOLD")});
  const auto oldBefore = f.oldBook();
  const auto newBefore = f.newBook();
  f.view.failFrom = 3;  // the run's own check and its look for a conversion read it fine
  f.view.answers = many(Answer::Ignore);

  f.converter.runConversion();

  ASSERT_EQ(f.view.reports.size(), 2u);
  EXPECT_NE(f.view.reports[0].find("Project1.Brelmark.ConvertOld"), std::string::npos);
  EXPECT_NE(f.view.reports[1].find("Project1.Brelmark.ConvNew"), std::string::npos);
  EXPECT_EQ(f.oldBook(), oldBefore);
  EXPECT_EQ(f.newBook(), newBefore);
  EXPECT_EQ(f.converter.outcome(), Converter::Outcome::BookNotOpened);
  EXPECT_EQ(f.view.messages.back(), "Finished");
}

TEST(PassErrors, AbortEndsThePassAtOnceAndLeavesTheBookAsItWas) {
  {
    SCOPED_TRACE("close-out");
    PassFixture f;
    makeBook(f.oldFolder,
             {gun("G1", kD, kBlankDate, "PAWN"), gun("G2", kD, kBlankDate, "PAWN"),
              gun("G3", kD, kBlankDate, "PAWN"), gun("X", kDayAfter, kBlankDate, "PAWN")});
    const auto before = f.oldBook();
    f.manager.failCalls(rm::op::Update, rm::status::RecordLocked, 3);

    const ChildEnd end = runInChild([&] { f.converter.closeOutOldBook(); });

    EXPECT_TRUE(end.exited);
    EXPECT_EQ(end.exitStatus, errortrap::kAbortExitStatus);
    EXPECT_EQ(f.oldBook(), before);
  }
  {
    SCOPED_TRACE("rebase");
    PassFixture f;
    makeBook(f.newFolder, {gun("S1", kDayBefore, kDayBefore, "SOLD"),
                           gun("S2", kDayBefore, kDayBefore, "SOLD"),
                           gun("K", kDayBefore, kBlankDate, "PAWN")});
    const auto before = f.newBook();
    f.manager.failCalls(rm::op::Delete, rm::status::RecordLocked, 2);

    const ChildEnd end = runInChild([&] { f.converter.rebaseNewBook(); });

    EXPECT_TRUE(end.exited);
    EXPECT_EQ(end.exitStatus, errortrap::kAbortExitStatus);
    EXPECT_EQ(f.newBook(), before);
  }
}

TEST(PassErrors, AProcessKilledInThePassLeavesTheBookAsItWas) {
  auto killOnUpdate = [](int n) {
    return [n](const FaultyRecordManager::Call& call) -> std::optional<int16_t> {
      if (call.operation == rm::op::Update && call.count == n) std::raise(SIGKILL);
      return std::nullopt;
    };
  };
  {
    SCOPED_TRACE("close-out");
    PassFixture f;
    makeBook(f.oldFolder, {gun("G1", kD, kBlankDate, "PAWN"), gun("G2", kD, kBlankDate, "PAWN"),
                           gun("G3", kD, kBlankDate, "PAWN"), gun("X", kDayAfter, kBlankDate, "PAWN")});
    const auto before = f.oldBook();
    f.manager.setHook(killOnUpdate(3));

    const ChildEnd end = runInChild([&] { f.converter.closeOutOldBook(); });

    EXPECT_EQ(end.signal, SIGKILL);
    EXPECT_EQ(f.oldBook(), before);
  }
  {
    SCOPED_TRACE("rebase");
    PassFixture f;
    makeBook(f.newFolder, {gun("S1", kDayBefore, kDayBefore, "SOLD"),
                           gun("K1", kDayBefore, kBlankDate, "PAWN"),
                           gun("K2", kDayBefore, kBlankDate, "PAWN")});
    const auto before = f.newBook();
    f.manager.setHook(killOnUpdate(2));  // after the deletion and one rewrite

    const ChildEnd end = runInChild([&] { f.converter.rebaseNewBook(); });

    EXPECT_EQ(end.signal, SIGKILL);
    EXPECT_EQ(f.newBook(), before);
  }
}

}  // namespace
}  // namespace varnok::testing
