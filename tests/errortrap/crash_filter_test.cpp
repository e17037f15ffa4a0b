// The crash filter: processor faults inside trapped statements reported as
// error 65535 by the trap that was running. Every case runs in a child
// process, as a fault that slipped through would end the test runner.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <deque>
#include <functional>
#include <string>

#include "transcript.h"
#include "errortrap/crash_filter.h"
#include "errortrap/trap.h"
#include "faults.h"

namespace {

using namespace varnok::errortrap;
using varnok::testing::ChildRun;
using varnok::testing::markLine;
using varnok::testing::note;
using varnok::testing::Note;
using varnok::testing::ReportOf;
using varnok::testing::runScenario;
using varnok::testing::ScriptedReporter;
namespace faults = varnok::testing::faults;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::string kAccessViolation = "Exception: Access Violation";
const std::string kDivideByZero = "Exception: Integer Divide By Zero";

// The report of a fault in procedure Crash.<procedure> at `line`.
varnok::testing::Entry Crash(const std::string& text, const std::string& procedure,
                             uint32_t line) {
  return ReportOf("Error 65535\r\n" + text + "\r\nLocation: Project1.Crash." + procedure +
                  "\r\nLine " + std::to_string(line));
}

// A child that installs the filter, then runs `procedure` with a reporter
// that answers from `answers` and writes each report to the transcript.
ChildRun runProtected(std::deque<Answer> answers,
                      const std::function<void(ScriptedReporter&)>& procedure) {
  return runScenario([&] {
    installCrashFilter();
    ScriptedReporter reporter(answers, /*inChild=*/true);
    procedure(reporter);
    note("returned");
  });
}

void expectCleanExit(const ChildRun& run) {
  EXPECT_TRUE(run.exited && run.exitStatus == 0) << run;
  EXPECT_EQ(run.err, "");
}

TEST(CrashFilter, AccessViolationIsReportedByTheRunningTrapAndIgnoreGoesOn) {
  const ChildRun run = runProtected({Answer::Ignore}, [](ScriptedReporter& reporter) {
    Trap T("Crash", "Write", &reporter);
    markLine(__LINE__); T([] { faults::writeToNoAccess(); note("rest of statement"); });
    T([] { note("next statement"); });
  });
  expectCleanExit(run);
  ASSERT_EQ(run.lines.size(), 1u);
  EXPECT_THAT(run.transcript,
              ElementsAre(Crash(kAccessViolation, "Write", run.lines[0]),
                          Note("next statement"), Note("returned")));
}

TEST(CrashFilter, RetryAfterTheCauseIsGoneLetsTheProcedureFinish) {
  const ChildRun run = runProtected({Answer::Retry}, [](ScriptedReporter& reporter) {
    int* volatile target = faults::noAccess();
    int cell = 0;
    reporter.beforeAnswer = [&](int) { target = &cell; };
    Trap T("Crash", "Repair", &reporter);
    markLine(__LINE__); T([&] { faults::writeThrough(target); });
    T([&] { note("cell holds " + std::to_string(cell)); });
  });
  expectCleanExit(run);
  ASSERT_EQ(run.lines.size(), 1u);
  EXPECT_THAT(run.transcript, ElementsAre(Crash(kAccessViolation, "Repair", run.lines[0]),
                                          Note("cell holds 42"), Note("returned")));
}

TEST(CrashFilter, EveryFaultIsReportedNotOnlyTheFirst) {
  const ChildRun run = runProtected(
      {Answer::Retry, Answer::Retry, Answer::Ignore, Answer::Ignore, Answer::Ignore},
      [](ScriptedReporter& reporter) {
        Trap T("Crash", "Again", &reporter);
        markLine(__LINE__); T([] { faults::writeToNoAccess(); });
        markLine(__LINE__); T([] { faults::writeToNoAccess(1); });
        markLine(__LINE__); T([] { faults::divide(1, 0); });
      });
  expectCleanExit(run);
  ASSERT_EQ(run.lines.size(), 3u);
  const auto first = Crash(kAccessViolation, "Again", run.lines[0]);
  EXPECT_THAT(run.transcript,
              ElementsAre(first, first, first,
                          Crash(kAccessViolation, "Again", run.lines[1]),
                          Crash(kDivideByZero, "Again", run.lines[2]),
                          Note("returned")));
}

TEST(CrashFilter, StackOverflowIsReportedAndCanHappenAgain) {
  const ChildRun run = runProtected({Answer::Retry, Answer::Ignore}, [](auto& reporter) {
    Trap T("Crash", "Recurse", &reporter);
    markLine(__LINE__); T([] { faults::recurse(0); });
    T([] { note("stack usable again: " + std::to_string(faults::divide(84, 2))); });
  });
  expectCleanExit(run);
  ASSERT_EQ(run.lines.size(), 1u);
  const auto overflow = Crash("Exception: Stack Overflow", "Recurse", run.lines[0]);
  EXPECT_THAT(run.transcript, ElementsAre(overflow, overflow,
                                          Note("stack usable again: 42"), Note("returned")));
}

TEST(CrashFilter, FaultsAreNamedByTheirCause) {
  const ChildRun run = runProtected(
      {Answer::Ignore, Answer::Ignore, Answer::Ignore, Answer::Ignore, Answer::Ignore},
      [](ScriptedReporter& reporter) {
        Trap T("Crash", "Causes", &reporter);
        markLine(__LINE__); T([] { faults::divide(7, 0); });
        markLine(__LINE__); T([] { faults::illegalInstruction(); });
        markLine(__LINE__); T([] { faults::readPastEndOfFile(); });
        markLine(__LINE__); T([] { faults::divideTrapped(1.0, 0.0); });
#if defined(__x86_64__) || defined(__i386__)
        markLine(__LINE__); T([] { faults::breakpoint(); });
#endif
      });
  expectCleanExit(run);
  std::vector<std::string> texts = {kDivideByZero, "Exception: Illegal Instruction",
                                    "Exception: In Page Error", "Exception: Float Divide By Zero"};
#if defined(__x86_64__) || defined(__i386__)
  texts.push_back("Exception: Breakpoint");
#endif
  ASSERT_EQ(run.lines.size(), texts.size()) << run;
  std::vector<varnok::testing::Entry> expected;
  for (size_t i = 0; i < texts.size(); ++i) {
    expected.push_back(Crash(texts[i], "Causes", run.lines[i]));
  }
  expected.push_back(Note("returned"));
  EXPECT_EQ(run.transcript, expected);
}

TEST(CrashFilter, ASignalSentRatherThanRaisedByAFaultIsAnUnknownException) {
  const ChildRun run = runProtected({Answer::Ignore, Answer::Ignore}, [](auto& reporter) {
    Trap T("Crash", "Sent", &reporter);
    markLine(__LINE__); T([] { raise(SIGTRAP); });
    markLine(__LINE__); T([] { raise(SIGSEGV); });
  });
  expectCleanExit(run);
  ASSERT_EQ(run.lines.size(), 2u);
  EXPECT_THAT(run.transcript,
              ElementsAre(Crash("Unknown Exception", "Sent", run.lines[0]),
                          Crash("Unknown Exception", "Sent", run.lines[1]),
                          Note("returned")));
}

TEST(CrashFilter, NamesTheLastRecordOfAChain) {
  const ChildRun run = runProtected({Answer::Ignore, Answer::Ignore}, [](auto& reporter) {
    const ExceptionRecord last{exception_code::StackOverflow, nullptr, nullptr};
    const ExceptionRecord middle{exception_code::IntegerDivideByZero, &last, nullptr};
    const ExceptionRecord first{exception_code::AccessViolation, &middle, nullptr};
    // An access violation's code with its top bits cleared: no code of the table.
    const ExceptionRecord unknown{0x40000005, nullptr, nullptr};
    const ExceptionRecord known{exception_code::AccessViolation, &unknown, nullptr};
    const ExceptionInformation threeDeep{&first, nullptr};
    const ExceptionInformation endingUnknown{&known, nullptr};
    Trap T("Crash", "Chain", &reporter);
    markLine(__LINE__); T([&] { reportFault(&threeDeep); });
    markLine(__LINE__); T([&] { reportFault(&endingUnknown); });
  });
  expectCleanExit(run);
  ASSERT_EQ(run.lines.size(), 2u);
  EXPECT_THAT(run.transcript, ElementsAre(Crash("Exception: Stack Overflow", "Chain", run.lines[0]),
                                          Crash("Unknown Exception", "Chain", run.lines[1]),
                                          Note("returned")));
}

uint32_t innerFaultLine = 0;
void innerProcedure() {
  Trap T("Crash", "Inner");
  T([] { faults::writeToNoAccess(); }); innerFaultLine = __LINE__;
  T([] { note("inner goes on"); });
}

TEST(CrashFilter, AFaultGoesToTheInnermostTrapAndLaterOnesToTheOuter) {
  const ChildRun run = runProtected({Answer::Ignore, Answer::Ignore}, [](auto& reporter) {
    Trap T("Crash", "Outer", &reporter);
    T([] {
      innerProcedure();
      note("outer goes on after the call");
    });
    markLine(__LINE__); T([] { faults::divide(1, 0); });
    markLine(innerFaultLine);
  });
  expectCleanExit(run);
  ASSERT_EQ(run.lines.size(), 2u);
  EXPECT_THAT(run.transcript,
              ElementsAre(Crash(kAccessViolation, "Inner", run.lines[1]),
                          Note("inner goes on"), Note("outer goes on after the call"),
                          Crash(kDivideByZero, "Outer", run.lines[0]),
                          Note("returned")));
}

TEST(CrashFilter, AbortAfterAFaultEndsTheProcessAtOnce) {
  const ChildRun run = runProtected({Answer::Abort}, [](ScriptedReporter& reporter) {
    Trap T("Crash", "Aborted", &reporter);
    markLine(__LINE__); T([] { faults::writeToNoAccess(); });
    T([] { note("after the abort"); });
  });
  ASSERT_TRUE(run.exited) << run;
  EXPECT_EQ(run.exitStatus, kAbortExitStatus);
  ASSERT_EQ(run.lines.size(), 1u);
  EXPECT_THAT(run.transcript, ElementsAre(Crash(kAccessViolation, "Aborted", run.lines[0])));
  EXPECT_EQ(run.err, "");
}

TEST(CrashFilter, AFaultWithNoTrappedStatementRunningEndsTheProcessWithTheReportOnStandardError) {
  const ChildRun run = runScenario([] {
    installCrashFilter();
    ScriptedReporter reporter({}, /*inChild=*/true);
    {
      Trap T("Crash", "Finished", &reporter);
      T([] { note("a procedure ran and returned"); });
    }
    faults::writeToNoAccess();
    note("after the fault");
  });
  ASSERT_TRUE(run.exited) << run;
  EXPECT_EQ(run.exitStatus, kUnhandledExceptionExitStatus);
  EXPECT_THAT(run.transcript, ElementsAre(Note("a procedure ran and returned")));
  EXPECT_EQ(run.err,
            "Error 65535\r\nException: Access Violation\r\n"
            "Location: Project1.vbwProtector.vbwExceptionFilter\r\nLine 0\n");
}

TEST(CrashFilter, CalledWithNoTrappedStatementRunningItEndsTheProcessToo) {
  const ChildRun run = runScenario([] {
    const ExceptionRecord record{0xC0000007, nullptr, nullptr};
    const ExceptionInformation information{&record, nullptr};
    reportFault(&information);
  });
  ASSERT_TRUE(run.exited) << run;
  EXPECT_EQ(run.exitStatus, kUnhandledExceptionExitStatus);
  EXPECT_THAT(run.transcript, IsEmpty());
  EXPECT_EQ(run.err,
            "Error 65535\r\nUnknown Exception\r\n"
            "Location: Project1.vbwProtector.vbwExceptionFilter\r\nLine 0\n");
}

std::string handlerState(int signal) {
  struct sigaction current {};
  sigaction(signal, nullptr, &current);
  if (!(current.sa_flags & SA_SIGINFO)) {
    if (current.sa_handler == SIG_IGN) return "ignored";
    return current.sa_handler == SIG_DFL ? "default" : "other";
  }
  const int wanted = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
  return (current.sa_flags & wanted) == wanted ? "on its own stack" : "without the flags";
}

TEST(CrashFilter, IsRegisteredForEveryFaultSignalOnceAndASecondInitializeRegistersNothing) {
  const ChildRun run = runScenario([] {
    installCrashFilter();
    note("registrations " + std::to_string(crashFilterRegistrations()));
    for (const int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP}) {
      note(std::string(sigabbrev_np(signal)) + ": " + handlerState(signal));
    }
    stack_t stack{};
    sigaltstack(nullptr, &stack);
    note(stack.ss_size >= 64 * 1024 && !(stack.ss_flags & SS_DISABLE) ? "signal stack set"
                                                                       : "no signal stack");
    std::signal(SIGTRAP, SIG_IGN);
    installCrashFilter();
    note("registrations " + std::to_string(crashFilterRegistrations()));
    note(std::string("SIGTRAP after the second call: ") + handlerState(SIGTRAP));
  });
  ASSERT_TRUE(run.exited && run.exitStatus == 0) << run;
  EXPECT_THAT(run.transcript,
              ElementsAre(Note("registrations 1"), Note("SEGV: on its own stack"),
                          Note("BUS: on its own stack"), Note("FPE: on its own stack"),
                          Note("ILL: on its own stack"), Note("TRAP: on its own stack"),
                          Note("signal stack set"), Note("registrations 1"),
                          Note("SIGTRAP after the second call: ignored")));
}

}  // namespace
