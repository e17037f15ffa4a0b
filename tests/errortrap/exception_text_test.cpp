// Exception texts and the exception codes of fault signals.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "errortrap/fault_signals.h"
#include "errortrap/crash_filter.h"

namespace {

using namespace varnok::errortrap;

const std::vector<std::pair<uint32_t, std::string>> kTable = {
    {0x80000001, "Exception: Guard Page"},
    {0x80000002, "Exception: Datatype Misalignment"},
    {0x80000003, "Exception: Breakpoint"},
    {0x80000004, "Exception: Single Step"},
    {0xC0000005, "Exception: Access Violation"},
    {0xC0000006, "Exception: In Page Error"},
    {0xC0000008, "Exception: Invalid Handle"},
    {0xC000001D, "Exception: Illegal Instruction"},
    {0xC0000025, "Exception: Non Continuable Exception"},
    {0xC0000026, "Exception: Invalid Disposition"},
    {0xC000008C, "Exception: Array Bounds Exceeded"},
    {0xC000008D, "Exception: Float Denormal Operand"},
    {0xC000008E, "Exception: Float Divide By Zero"},
    {0xC000008F, "Exception: Float Inexact Result"},
    {0xC0000090, "Exception: Float Invalid Operation"},
    {0xC0000091, "Exception: Float Overflow"},
    {0xC0000092, "Exception: Float Stack Check"},
    {0xC0000093, "Exception: Float Underflow"},
    {0xC0000094, "Exception: Integer Divide By Zero"},
    {0xC0000095, "Exception: Integer Overflow"},
    {0xC0000096, "Exception: Priv Instruction"},
    {0xC00000FD, "Exception: Stack Overflow"},
    {0xC000013A, "Exception: Control C Exit"},
};

TEST(ExceptionText, NamesEachCodeOfTheTable) {
  for (const auto& [code, text] : kTable) {
    EXPECT_EQ(exceptionText(code), text) << std::hex << code;
    EXPECT_EQ(std::string(exceptionTextOf(code)), text) << std::hex << code;
  }
}

TEST(ExceptionText, CallsEveryOtherCodeUnknownComparingAllThirtyTwoBits) {
  std::set<uint32_t> known;
  for (const auto& entry : kTable) known.insert(entry.first);
  std::vector<uint32_t> others = {0, 1, 0x80000000, 0xC0000000, 0xFFFFFFFF,
                                  // table codes with high bits changed or dropped
                                  0x00000005, 0x40000005, 0x80000005, 0xC1000005, 0x000000FD,
                                  0x0000013A, 0x00000001, 0xE0000005};
  for (const uint32_t code : known) {
    others.push_back(code - 1);
    others.push_back(code + 1);
  }
  for (const uint32_t code : others) {
    if (known.count(code)) continue;
    EXPECT_EQ(exceptionText(code), "Unknown Exception") << std::hex << code;
  }
}

TEST(FaultSignals, AreMappedToTheExceptionCodeOfTheirCause) {
  namespace code = exception_code;
  struct Case {
    int signal;
    int signalCode;
    bool onStackGuard;
    uint32_t expected;
  };
  const Case cases[] = {
      {SIGSEGV, SEGV_MAPERR, false, code::AccessViolation},
      {SIGSEGV, SEGV_ACCERR, false, code::AccessViolation},
      {SIGSEGV, SEGV_MAPERR, true, code::StackOverflow},
      {SIGSEGV, SEGV_ACCERR, true, code::StackOverflow},
      {SIGBUS, BUS_ADRALN, false, code::DatatypeMisalignment},
      {SIGBUS, BUS_ADRERR, false, code::InPageError},
      {SIGBUS, BUS_OBJERR, false, code::InPageError},
      {SIGFPE, FPE_INTDIV, false, code::IntegerDivideByZero},
      {SIGFPE, FPE_INTOVF, false, code::IntegerOverflow},
      {SIGFPE, FPE_FLTDIV, false, code::FloatDivideByZero},
      {SIGFPE, FPE_FLTOVF, false, code::FloatOverflow},
      {SIGFPE, FPE_FLTUND, false, code::FloatUnderflow},
      {SIGFPE, FPE_FLTRES, false, code::FloatInexactResult},
      {SIGFPE, FPE_FLTINV, false, code::FloatInvalidOperation},
      {SIGFPE, FPE_FLTSUB, false, code::ArrayBoundsExceeded},
      {SIGILL, ILL_ILLOPC, false, code::IllegalInstruction},
      {SIGILL, ILL_ILLOPN, false, code::IllegalInstruction},
      {SIGILL, ILL_PRVOPC, false, code::PrivilegedInstruction},
      {SIGILL, ILL_PRVREG, false, code::PrivilegedInstruction},
      {SIGTRAP, TRAP_BRKPT, false, code::Breakpoint},
      {SIGTRAP, TRAP_TRACE, false, code::SingleStep},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(exceptionCodeForSignal(c.signal, c.signalCode, c.onStackGuard), c.expected)
        << sigabbrev_np(c.signal) << " si_code " << c.signalCode;
  }
}

TEST(FaultSignals, WithoutACorrespondingExceptionAreUnknown) {
  const std::pair<int, int> cases[] = {
      {SIGSEGV, SI_USER}, {SIGSEGV, SI_TKILL}, {SIGFPE, SI_QUEUE},  // sent, not raised
      {SIGTRAP, SI_TKILL}, {SIGBUS, SI_USER},  {SIGILL, SI_USER},
      {SIGTRAP, TRAP_BRANCH}, {SIGBUS, BUS_MCEERR_AR}, {SIGFPE, FPE_FLTUNK},
  };
  for (const auto& [signal, signalCode] : cases) {
    EXPECT_EQ(exceptionText(exceptionCodeForSignal(signal, signalCode, false)),
              "Unknown Exception")
        << sigabbrev_np(signal) << " si_code " << signalCode;
  }
}

TEST(FaultSignals, AFaultNextToTheStackPointerIsOnTheStackGuard) {
  const uintptr_t sp = 0x7ffd00010000;
  EXPECT_TRUE(faultOnStackGuard(sp - 8, sp));          // a call's return address
  EXPECT_TRUE(faultOnStackGuard(sp, sp));              // a probe of a new frame
  EXPECT_TRUE(faultOnStackGuard(sp + 4000, sp));       // inside a frame just made
  EXPECT_FALSE(faultOnStackGuard(0, sp));              // a null pointer
  EXPECT_FALSE(faultOnStackGuard(0x10, sp));
  EXPECT_FALSE(faultOnStackGuard(sp - 1024 * 1024 * 64, sp));  // far below the stack
}

}  // namespace
