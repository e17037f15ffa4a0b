// The late disposal transfer when things go wrong: writes that the record
// manager refuses, a gun already in the new book, and a process killed in
// the middle of a transfer.
#include <signal.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "transfer_support.h"

namespace varnok::testing::transfer {
namespace {

namespace msg = conversion::msg;

// Refused writes: a report naming the write, and each answer doing what it
// says. Two qualifying guns; the write of the second one is refused.
class RefusedWriteTest : public TransferTest {
 protected:
  void SetUp() override {
    TransferTest::SetUp();
    oldBefore = {soldLater("G-1", kDayAfter, 0), soldLater("G-2", kLater, 0)};
    makeBook(oldFolder, oldBefore);
    makeBook(newFolder, {gun("N-1", "20040401", "", "PAWN")});
  }

  void expectOneReport(const std::string& what) {
    ASSERT_EQ(view.reports.size(), 1u);
    const std::string& report = view.reports[0];
    EXPECT_NE(report.find(what), std::string::npos) << report;
    EXPECT_NE(report.find("G-2"), std::string::npos) << report;
    EXPECT_NE(report.find("Location: Project1.Brelmark.Command1_Click"), std::string::npos)
        << report;
  }

  std::vector<GunRecord> oldBefore;
};

TEST_F(RefusedWriteTest, RefusedUpdate) {
  {
    SCOPED_TRACE("Retry writes again");
    FaultyRecordManager faulty(rm::bookEngine());
    faulty.failCalls(rm::op::Update, rm::status::RecordLocked, 2);
    view.answers = {Answer::Retry};
    EXPECT_EQ(fix(faulty), Outcome::Completed);
    expectOneReport("Error 30003\r\nUpdate refused with status 84");
    EXPECT_EQ(faulty.calls(rm::op::Update), 3);
    EXPECT_EQ(readBook(oldFolder)[1], closedInOldBook(oldBefore[1]));
    EXPECT_EQ(readBook(newFolder).size(), 3u);
  }
  {
    SCOPED_TRACE("Ignore leaves the entry as it was; its copy is still added");
    makeBook(dir.folder("old-i"), oldBefore);
    makeBook(dir.folder("new-i"), {});
    view.fillIn(dir.folder("old-i"), dir.folder("new-i"), kDateTyped);
    view.reports.clear();
    FaultyRecordManager faulty(rm::bookEngine());
    faulty.failCalls(rm::op::Update, rm::status::RecordLocked, 2);
    view.answers = {Answer::Ignore};
    EXPECT_EQ(fix(faulty), Outcome::Completed);
    expectOneReport("Update refused with status 84");
    const auto oldAfter = readBook(dir.folder("old-i"));
    EXPECT_EQ(oldAfter[0], closedInOldBook(oldBefore[0]));
    EXPECT_EQ(oldAfter[1], oldBefore[1]);
    EXPECT_EQ(readBook(dir.folder("new-i")),
              (std::vector<GunRecord>{copyInNewBook(oldBefore[0]), copyInNewBook(oldBefore[1])}));
  }
}

TEST_F(RefusedWriteTest, RefusedInsert) {
  {
    SCOPED_TRACE("Retry writes again");
    FaultyRecordManager faulty(rm::bookEngine());
    faulty.failCalls(rm::op::Insert, rm::status::DiskFull, 2);
    view.answers = {Answer::Retry};
    EXPECT_EQ(fix(faulty), Outcome::Completed);
    expectOneReport("Error 30002\r\nInsert refused with status 18");
    EXPECT_EQ(faulty.calls(rm::op::Insert), 3);
    const auto newAfter = readBook(newFolder);
    ASSERT_EQ(newAfter.size(), 3u);
    EXPECT_EQ(newAfter[1], copyInNewBook(oldBefore[1]));
  }
  {
    SCOPED_TRACE("Ignore: the old entry stays closed, the copy is missing");
    makeBook(dir.folder("old-i"), oldBefore);
    makeBook(dir.folder("new-i"), {});
    view.fillIn(dir.folder("old-i"), dir.folder("new-i"), kDateTyped);
    view.reports.clear();
    FaultyRecordManager faulty(rm::bookEngine());
    faulty.failCalls(rm::op::Insert, rm::status::DiskFull, 2);
    view.answers = {Answer::Ignore};
    EXPECT_EQ(fix(faulty), Outcome::Completed);
    expectOneReport("Insert refused with status 18");
    EXPECT_EQ(readBook(dir.folder("old-i"))[1], closedInOldBook(oldBefore[1]));
    EXPECT_EQ(readBook(dir.folder("new-i")),
              std::vector<GunRecord>{copyInNewBook(oldBefore[0])});
  }
}

TEST_F(RefusedWriteTest, AbortEndsTheProgramWithBothBooksAsTheyWere) {
  const auto newBefore = readBook(newFolder);
  for (const uint16_t refused : {rm::op::Update, rm::op::Insert}) {
    SCOPED_TRACE("refused operation " + std::to_string(refused));
    const ChildEnd end = runInChild([&] {
      FaultyRecordManager faulty(rm::bookEngine());
      faulty.failCalls(refused, rm::status::IoError, 2);
      FakeView childView;  // no answers: Abort
      childView.fillIn(oldFolder, newFolder, kDateTyped);
      Converter(childView, faulty).transferLateDisposals();
    });
    EXPECT_TRUE(end.exited);
    EXPECT_EQ(end.exitStatus, errortrap::kAbortExitStatus);
    EXPECT_EQ(readBook(oldFolder), oldBefore);
    EXPECT_EQ(readBook(newFolder), newBefore);
  }
}

// A refused Close of either book, answered each way. No answer may leave a
// handed-over gun in neither book, and "Fix" again in the same process
// finds both books free and completes the transfer.
struct CloseRefusal {
  const char* name;
  int close;          // 1: the new book's Close, 2: the old book's
  Answer answer;
  bool copiesKept;    // the new book holds the copies afterwards
  bool completed;     // both books are complete afterwards
  const char* message;
};

std::ostream& operator<<(std::ostream& out, const CloseRefusal& c) { return out << c.name; }

class RefusedCloseTest : public RefusedWriteTest,
                         public ::testing::WithParamInterface<CloseRefusal> {
 protected:
  void refusedTransfer(FakeView& on, const CloseRefusal& c) {
    FaultyRecordManager faulty(rm::bookEngine());
    faulty.failCalls(rm::op::Close, rm::status::DiskFull, c.close);
    on.answers = {c.answer};
    Converter(on, faulty).transferLateDisposals();
  }
};

TEST_P(RefusedCloseTest, NoGunEndsInNeitherBook) {
  const CloseRefusal c = GetParam();
  const auto newBefore = readBook(newFolder);
  const std::vector<GunRecord> oldDone{closedInOldBook(oldBefore[0]),
                                       closedInOldBook(oldBefore[1])};
  const std::vector<GunRecord> newDone{copyInNewBook(oldBefore[0]), copyInNewBook(oldBefore[1]),
                                       newBefore[0]};

  if (c.answer == Answer::Abort) {
    const ChildEnd end = runInChild([&] {
      FakeView childView;
      childView.fillIn(oldFolder, newFolder, kDateTyped);
      refusedTransfer(childView, c);
    });
    EXPECT_EQ(end.exitStatus, errortrap::kAbortExitStatus);
  } else {
    refusedTransfer(view, c);
    ASSERT_EQ(view.reports.size(), 1u);
    EXPECT_NE(view.reports[0].find("Close refused with status 18"), std::string::npos);
  }
  EXPECT_EQ(view.messages, c.message ? std::vector<std::string>{c.message}
                                     : std::vector<std::string>{});
  EXPECT_EQ(readBook(oldFolder), c.completed ? oldDone : oldBefore);
  EXPECT_EQ(readBook(newFolder), c.copiesKept ? newDone : newBefore);

  view.reports.clear();
  EXPECT_EQ(fix(), Outcome::Completed);
  EXPECT_TRUE(view.reports.empty());
  EXPECT_EQ(readBook(oldFolder), oldDone);
  EXPECT_EQ(readBook(newFolder), newDone);
}

INSTANTIATE_TEST_SUITE_P(
    EitherBook, RefusedCloseTest,
    ::testing::Values(
        CloseRefusal{"NewBookIgnore", 1, Answer::Ignore, false, false, msg::NewBookNotSaved},
        CloseRefusal{"NewBookRetry", 1, Answer::Retry, true, true, nullptr},
        CloseRefusal{"NewBookAbort", 1, Answer::Abort, false, false, nullptr},
        CloseRefusal{"OldBookIgnore", 2, Answer::Ignore, true, false, msg::OldBookNotSaved},
        CloseRefusal{"OldBookRetry", 2, Answer::Retry, true, true, nullptr},
        CloseRefusal{"OldBookAbort", 2, Answer::Abort, true, false, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TransferTest, DuplicateField00InTheNewBook) {
  const std::vector<GunRecord> oldBefore{soldLater("G-1", kDayAfter, 0),
                                         soldLater("G-2", kLater, 0)};
  {
    SCOPED_TRACE("another gun under the same Field00 is reported, not passed over");
    const GunRecord other = gun("G-2", "20040501", "", "PAWN");
    makeBook(oldFolder, oldBefore);
    makeBook(newFolder, {other});
    view.answers = {Answer::Ignore};

    EXPECT_EQ(fix(), Outcome::Completed);

    ASSERT_EQ(view.reports.size(), 1u);
    EXPECT_NE(view.reports[0].find("Insert refused with status 5"), std::string::npos);
    EXPECT_NE(view.reports[0].find("G-2"), std::string::npos);
    EXPECT_EQ(readBook(newFolder), (std::vector<GunRecord>{copyInNewBook(oldBefore[0]), other}));
    EXPECT_EQ(readBook(oldFolder)[1], closedInOldBook(oldBefore[1]));
  }
  {
    SCOPED_TRACE("the very copy already in the new book is taken as transferred");
    const std::string oldAgain = dir.folder("old-again"), newAgain = dir.folder("new-again");
    makeBook(oldAgain, oldBefore);
    makeBook(newAgain, {copyInNewBook(oldBefore[1])});
    view.fillIn(oldAgain, newAgain, kDateTyped);
    view.reports.clear();

    EXPECT_EQ(fix(), Outcome::Completed);

    EXPECT_TRUE(view.reports.empty());
    EXPECT_EQ(readBook(newAgain), (std::vector<GunRecord>{copyInNewBook(oldBefore[0]),
                                                          copyInNewBook(oldBefore[1])}));
    EXPECT_EQ(readBook(oldAgain), (std::vector<GunRecord>{closedInOldBook(oldBefore[0]),
                                                          closedInOldBook(oldBefore[1])}));
  }
}

// A process killed at some call of the transfer, then "Fix" pressed again.
struct KillPoint {
  const char* name;
  uint16_t operation;
  int count;                // the n-th call of that operation is never made
  bool copiesDurable;       // the new book's Close has already gone through
};

std::ostream& operator<<(std::ostream& out, const KillPoint& point) { return out << point.name; }

class CrashTest : public TransferTest, public ::testing::WithParamInterface<KillPoint> {
 protected:
  // Three guns sold after D among five; two guns already in the new book.
  const std::vector<GunRecord> oldBefore{
      soldLater("G-1", kDayAfter, 0), gun("G-2", "20031001", kD, "SOLD"),
      soldLater("G-3", kLater, -1), gun("G-4", "20031001", "", "PAWN"),
      soldLater("G-5", kDayAfter, 0)};
  const std::vector<GunRecord> newBefore{gun("N-1", "20040401", "", "PAWN"),
                                         gun("N-2", "20040402", kLater, "SOLD")};
};

TEST_P(CrashTest, FixAgainCompletesTheTransferWithNoGunLostOrDoubled) {
  const KillPoint point = GetParam();
  makeBook(oldFolder, oldBefore);
  makeBook(newFolder, newBefore);

  const ChildEnd end = runInChild([&] {
    FaultyRecordManager faulty(rm::bookEngine());
    faulty.setHook([&](const FaultyRecordManager::Call& call) -> std::optional<int16_t> {
      if (call.operation == point.operation && call.count == point.count) raise(SIGKILL);
      return std::nullopt;
    });
    FakeView childView;
    childView.fillIn(oldFolder, newFolder, kDateTyped);
    Converter(childView, faulty).transferLateDisposals();
  });
  ASSERT_EQ(end.signal, SIGKILL) << "the kill point was not reached: " << end;

  // What the killed transfer left.
  EXPECT_EQ(readBook(oldFolder), oldBefore);
  std::vector<GunRecord> newLeft = newBefore;
  if (point.copiesDurable) {
    for (const auto& entry : oldBefore)
      if (disposedAfterD(entry)) newLeft.push_back(copyInNewBook(entry));
  }
  EXPECT_EQ(model::differences(newLeft, readBook(newFolder)), "");

  EXPECT_EQ(fix(), Outcome::Completed);
  EXPECT_TRUE(view.reports.empty());

  // Every gun sold after D closed in the old book and copied exactly once;
  // nothing else changed, nothing missing.
  const auto oldAfter = readBook(oldFolder);
  const auto newAfter = readBook(newFolder);
  ASSERT_EQ(oldAfter.size(), oldBefore.size());
  ASSERT_EQ(newAfter.size(), newBefore.size() + 3);
  for (const auto& entry : oldBefore) {
    SCOPED_TRACE(trimmed(entry.Field00));
    const bool qualifies = disposedAfterD(entry);
    EXPECT_EQ(findEntry(oldAfter, entry.Field00.view()), qualifies ? closedInOldBook(entry) : entry);
    if (qualifies) {
      EXPECT_EQ(findEntry(newAfter, entry.Field00.view()), copyInNewBook(entry));
    }
  }
  for (const auto& entry : newBefore) EXPECT_EQ(findEntry(newAfter, entry.Field00.view()), entry);
}

INSTANTIATE_TEST_SUITE_P(
    KilledTransfer, CrashTest,
    ::testing::Values(KillPoint{"FirstUpdate", rm::op::Update, 1, false},
                      KillPoint{"SecondInsert", rm::op::Insert, 2, false},
                      KillPoint{"LastUpdate", rm::op::Update, 3, false},
                      KillPoint{"LastRead", rm::op::GetNext, 5, false},
                      KillPoint{"NewBookClose", rm::op::Close, 1, false},
                      KillPoint{"OldBookClose", rm::op::Close, 2, true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace varnok::testing::transfer
