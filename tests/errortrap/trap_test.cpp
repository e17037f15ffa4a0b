// The procedure error trap: the report, the three answers, nesting.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <new>
#include <string>
#include <vector>

#include "transcript.h"
#include "errortrap/runtime_error.h"
#include "errortrap/trap.h"

namespace {

using namespace varnok::errortrap;
using varnok::testing::ChildRun;
using varnok::testing::Note;
using varnok::testing::ReportOf;
using varnok::testing::runScenario;
using varnok::testing::ScriptedReporter;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::string report(const std::string& number, const std::string& description,
                   const std::string& procedure, uint32_t line) {
  return "Error " + number + "\r\n" + description + "\r\nLocation: Project1.Tests." +
         procedure + "\r\nLine " + std::to_string(line);
}

TEST(ErrorReport, IsFourLinesJoinedByCrLfWithNoBreakAfterTheLast) {
  EXPECT_EQ(formatErrorReport(6, "Overflow", "Brelmark", "ConvertOld", 123),
            "Error 6\r\nOverflow\r\nLocation: Project1.Brelmark.ConvertOld\r\nLine 123");
  EXPECT_EQ(formatErrorReport(INT32_MIN, "", "Myroutines1", "nue", 0),
            "Error -2147483648\r\n\r\nLocation: Project1.Myroutines1.nue\r\nLine 0");
  EXPECT_EQ(formatErrorReport(65535, "Exception: Access Violation", "vbwProtector",
                              "vbwHandleException", 372),
            "Error 65535\r\nException: Access Violation\r\n"
            "Location: Project1.vbwProtector.vbwHandleException\r\nLine 372");
}

TEST(Trap, ReportsTheErrorWithItsProcedureAndTheFailingStatementsLine) {
  ScriptedReporter reporter({Answer::Ignore, Answer::Ignore, Answer::Ignore});
  Trap T("Tests", "Reporting", &reporter);
  T([] { throw RunTimeError(-7, ""); }); const uint32_t negativeLine = __LINE__;
  T([] { checkedAdd(INT32_MAX, 1); }); const uint32_t overflowLine = __LINE__;
  T([] { checkedSub(INT32_MIN, 1); }); const uint32_t underflowLine = __LINE__;
  EXPECT_THAT(reporter.reports,
              ElementsAre(report("-7", "", "Reporting", negativeLine),
                          report("6", "Overflow", "Reporting", overflowLine),
                          report("6", "Overflow", "Reporting", underflowLine)));
}

TEST(Trap, GivesErrorsOutsideTheProgramsOwnTheirClassicNumbers) {
  ScriptedReporter reporter({Answer::Ignore, Answer::Ignore});
  Trap T("Tests", "Foreign", &reporter);
  T([] { throw std::bad_alloc(); }); const uint32_t memoryLine = __LINE__;
  T([] { throw RunTimeError(err::TypeMismatch); }); const uint32_t typeLine = __LINE__;
  EXPECT_THAT(reporter.reports,
              ElementsAre(report("7", "Out of memory", "Foreign", memoryLine),
                          report("13", "Type mismatch", "Foreign", typeLine)));
}

TEST(Trap, RetryRunsTheFailingStatementAgainWithTheStateAsItNowIs) {
  ScriptedReporter reporter({Answer::Retry});
  int32_t counter = INT32_MAX;
  reporter.beforeAnswer = [&](int) { counter = 0; };  // the cause goes away
  std::vector<std::string> ran;
  Trap T("Tests", "Retrying", &reporter);
  T([&] {
    ran.push_back("add");
    counter = checkedAdd(counter, 1);
  });
  T([&] { ran.push_back("next"); });
  EXPECT_EQ(reporter.reports.size(), 1u);
  EXPECT_THAT(ran, ElementsAre("add", "add", "next"));
  EXPECT_EQ(counter, 1);
}

TEST(Trap, RetryOfAStatementThatKeepsFailingShowsTheSameReportAgain) {
  ScriptedReporter reporter({Answer::Retry, Answer::Retry, Answer::Ignore});
  int attempts = 0;
  bool nextRan = false;
  Trap T("Tests", "Persisting", &reporter);
  const auto fail = [&] { ++attempts; throw RunTimeError(err::SubscriptOutOfRange); };
  T(fail); const uint32_t line = __LINE__;
  T([&] { nextRan = true; });
  const std::string expected = report("9", "Subscript out of range", "Persisting", line);
  EXPECT_THAT(reporter.reports, ElementsAre(expected, expected, expected));
  EXPECT_EQ(attempts, 3);
  EXPECT_TRUE(nextRan);
}

TEST(Trap, IgnoreSkipsExactlyTheFailingStatement) {
  ScriptedReporter reporter({Answer::Ignore, Answer::Ignore});
  std::vector<std::string> ran;
  Trap T("Tests", "Ignoring", &reporter);
  T([&] { ran.push_back("first"); });
  T([&] {
    ran.push_back("second, up to the error");
    throw RunTimeError(err::DivisionByZero);
    ran.push_back("second, after the error");
  });
  T([&] { ran.push_back("third"); });
  const int value = T.eval([] { return 5; });
  const int ignored = T.eval([]() -> int { throw RunTimeError(err::Overflow); });
  EXPECT_THAT(ran, ElementsAre("first", "second, up to the error", "third"));
  EXPECT_EQ(value, 5);
  EXPECT_EQ(ignored, 0);  // an ignored expression leaves its result value-initialised
  EXPECT_EQ(reporter.reports.size(), 2u);
}

// A procedure of the program: its own trap, no reporter named.
uint32_t innerFailingLine = 0;
void innerProcedure(std::vector<std::string>& ran) {
  Trap T("Tests", "Inner");
  T([&] { throw RunTimeError(err::InvalidProcedureCall); }); innerFailingLine = __LINE__;
  T([&] { ran.push_back("inner goes on"); });
}

TEST(Trap, ANestedProceduresErrorIsReportedByItsOwnTrapAndNeverReachesTheCaller) {
  ScriptedReporter unused({});
  setDefaultReporter(&unused);
  ScriptedReporter reporter({Answer::Ignore});
  std::vector<std::string> ran;
  Trap T("Tests", "Outer", &reporter);
  T([&] {
    innerProcedure(ran);
    ran.push_back("outer goes on after the call");
  });
  T([&] { ran.push_back("outer's next statement"); });
  setDefaultReporter(nullptr);

  EXPECT_THAT(reporter.reports, ElementsAre(report("5", "Invalid procedure call or argument",
                                                   "Inner", innerFailingLine)));
  EXPECT_THAT(ran, ElementsAre("inner goes on", "outer goes on after the call",
                               "outer's next statement"));
  EXPECT_THAT(unused.reports, IsEmpty());
}

TEST(Trap, AProcedureCalledOutsideAnyTrapUsesTheDefaultReporter) {
  ScriptedReporter fallback({Answer::Ignore});
  const ErrorReporter* const before = defaultReporter();
  std::vector<std::string> ran;
  {
    const ScopedDefaultReporter reporting(&fallback);
    innerProcedure(ran);
  }
  EXPECT_EQ(defaultReporter(), before);
  EXPECT_EQ(fallback.reports.size(), 1u);
  EXPECT_THAT(ran, ElementsAre("inner goes on"));
}

TEST(Trap, AbortEndsTheProcessAtOnceWithNothingFurther) {
  const ChildRun run = runScenario([] {
    ScriptedReporter reporter({Answer::Abort}, /*inChild=*/true);
    Trap T("Tests", "Aborting", &reporter);
    T([] { varnok::testing::note("first"); });
    varnok::testing::markLine(__LINE__); T([] { throw RunTimeError(err::Overflow); });
    T([] { varnok::testing::note("after the abort"); });
    std::fprintf(stderr, "still running\n");
  });
  ASSERT_TRUE(run.exited) << run;
  EXPECT_EQ(run.exitStatus, kAbortExitStatus);
  ASSERT_EQ(run.lines.size(), 1u);
  const std::string overflow = report("6", "Overflow", "Aborting", run.lines[0]);
  EXPECT_THAT(run.transcript, ElementsAre(Note("first"), ReportOf(overflow)));
  EXPECT_EQ(run.err, "");
}

TEST(Trap, WithNoReporterSetTheReportGoesToStandardErrorAndIsAnsweredAbort) {
  const ChildRun run = runScenario([] {
    Trap T("Tests", "Unattended");
    varnok::testing::markLine(__LINE__); T([] { throw RunTimeError(err::OutOfMemory); });
    varnok::testing::note("after the report");
  });
  ASSERT_TRUE(run.exited) << run;
  EXPECT_EQ(run.exitStatus, kAbortExitStatus);
  ASSERT_EQ(run.lines.size(), 1u);
  EXPECT_THAT(run.transcript, IsEmpty());
  EXPECT_EQ(run.err, report("7", "Out of memory", "Unattended", run.lines[0]) + "\n");
}

}  // namespace

// Helpers every procedure shares: what fails in them is reported at the
// procedure's line that called them, however deep they call each other.
void sharedWrite(CallerTrap trap, std::vector<std::string>& ran) {
  trap([] { throw RunTimeError(err::Overflow); });
  trap([&] { ran.push_back("helper goes on"); });
}
void sharedStep(CallerTrap trap, std::vector<std::string>& ran) { sharedWrite(trap, ran); }

TEST(CallerTrap, AHelpersFailureIsReportedAtTheProceduresCallingLine) {
  ScriptedReporter reporter({Answer::Retry, Answer::Ignore, Answer::Ignore});
  std::vector<std::string> ran;
  Trap T("Tests", "Procedure", &reporter);
  sharedWrite(T, ran); const uint32_t directLine = __LINE__;
  sharedStep(T, ran); const uint32_t nestedLine = __LINE__;
  EXPECT_THAT(reporter.reports, ElementsAre(report("6", "Overflow", "Procedure", directLine),
                                            report("6", "Overflow", "Procedure", directLine),
                                            report("6", "Overflow", "Procedure", nestedLine)));
  EXPECT_THAT(ran, ElementsAre("helper goes on", "helper goes on"));
}
