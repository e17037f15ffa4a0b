// A processor fault inside a record manager call made by a book pass: the
// pass's own trap reports it, and the pass goes on as the operator chooses.
// Each case runs in a child process, which installs the crash filter as the
// program does at start-up.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "errortrap/transcript.h"
#include "errortrap/faults.h"
#include "errortrap/crash_filter.h"
#include "pass_fixture.h"

namespace varnok::testing {
namespace {

using errortrap::Answer;

// A window whose operator removes the fault's cause before answering.
class RepairingView : public FakeView {
 public:
  std::function<void()> beforeAnswer;
  Answer errorReport(const std::string& message) override {
    if (beforeAnswer) beforeAnswer();
    return FakeView::errorReport(message);
  }
};

struct CrashFixture : BasicPassFixture<RepairingView> {
  // The record manager writes through this before it updates entry G3; while
  // it points into the page without access, that call crashes.
  int* volatile target = faults::noAccess();
  int cell = 0;

  CrashFixture() {
    manager.setHook([this](const FaultyRecordManager::Call& call) -> std::optional<int16_t> {
      const std::string_view field00(reinterpret_cast<const char*>(call.data), 15);
      if (call.operation == rm::op::Update && call.dataLength >= 15 &&
          field00 == gunbook::FixedText<15>("G3").view()) {
        faults::writeThrough(target);
      }
      return std::nullopt;
    });
  }

  // Runs a pass in a child with the filter installed; the transcript holds
  // the pass's reports and a note that it returned.
  ChildRun runPass(void (Converter::*pass)(), Answer answer) {
    view.answers = {answer};
    view.beforeAnswer = [this, answer] {
      if (answer == Answer::Retry) target = &cell;
    };
    return runScenario([&] {
      errortrap::installCrashFilter();
      (converter.*pass)();
      for (const auto& report : view.reports) writeEntry("report", report);
      note("pass returned");
    });
  }
};

std::vector<GunRecord> fourGuns(const char* dateIn) {
  return {gun("G1", dateIn, kBlankDate, "PAWN"), gun("G2", dateIn, kBlankDate, "PAWN"),
          gun("G3", dateIn, kBlankDate, "SALE"), gun("G4", dateIn, kBlankDate, "PAWN")};
}

void expectCrashReported(const ChildRun& run, const std::string& procedure) {
  ASSERT_TRUE(run.exited && run.exitStatus == 0) << run;
  ASSERT_EQ(run.transcript.size(), 2u) << run;
  EXPECT_EQ(run.transcript[0].kind, "report");
  expectReport(run.transcript[0].text, "Error 65535", "Exception: Access Violation", procedure);
  EXPECT_EQ(run.transcript[1], Note("pass returned"));
}

TEST(CrashInAPass, IsReportedByThePassAndIgnoreLeavesThatEntryAndGoesOn) {
  {
    SCOPED_TRACE("close-out");
    CrashFixture f;
    makeBook(f.oldFolder, fourGuns(kD));
    const auto before = f.oldBook();
    f.converter.oldBookCount = 4;

    expectCrashReported(f.runPass(&Converter::closeOutOldBook, Answer::Ignore), "ConvertOld");

    const auto after = f.oldBook();
    EXPECT_EQ(findEntry(after, "G3"), findEntry(before, "G3"));
    for (const char* id : {"G1", "G2", "G4"}) {
      ASSERT_TRUE(findEntry(after, id)) << id;
      EXPECT_EQ(findEntry(after, id)->Status.view(), kSold) << id;
      EXPECT_EQ(findEntry(after, id)->DateOut.view(), kD) << id;
    }
  }
  {
    SCOPED_TRACE("rebase");
    CrashFixture f;
    makeBook(f.newFolder, fourGuns(kDayBefore));
    const auto before = f.newBook();
    f.converter.newBookCount = 4;

    expectCrashReported(f.runPass(&Converter::rebaseNewBook, Answer::Ignore), "ConvNew");

    const auto after = f.newBook();
    EXPECT_EQ(findEntry(after, "G3"), findEntry(before, "G3"));
    for (const char* id : {"G1", "G2", "G4"}) {
      ASSERT_TRUE(findEntry(after, id)) << id;
      EXPECT_EQ(findEntry(after, id)->DateIn.view(), kD) << id;
    }
  }
}

TEST(CrashInAPass, RetryAfterTheCauseIsGoneLetsThePassFinish) {
  {
    SCOPED_TRACE("close-out");
    CrashFixture f;
    makeBook(f.oldFolder, fourGuns(kD));
    f.converter.oldBookCount = 4;

    expectCrashReported(f.runPass(&Converter::closeOutOldBook, Answer::Retry), "ConvertOld");

    const auto after = f.oldBook();
    ASSERT_EQ(idsOf(after), (std::vector<std::string>{"G1", "G2", "G3", "G4"}));
    for (const auto& entry : after) {
      EXPECT_EQ(entry.Status.view(), kSold) << entry.Field00.str();
      EXPECT_EQ(entry.DateOut.view(), kD) << entry.Field00.str();
    }
  }
  {
    SCOPED_TRACE("rebase");
    CrashFixture f;
    makeBook(f.newFolder, fourGuns(kDayBefore));
    f.converter.newBookCount = 4;

    expectCrashReported(f.runPass(&Converter::rebaseNewBook, Answer::Retry), "ConvNew");

    const auto after = f.newBook();
    ASSERT_EQ(idsOf(after), (std::vector<std::string>{"G1", "G2", "G3", "G4"}));
    for (const auto& entry : after) EXPECT_EQ(entry.DateIn.view(), kD) << entry.Field00.str();
  }
}

}  // namespace
}  // namespace varnok::testing
