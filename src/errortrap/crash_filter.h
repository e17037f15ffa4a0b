// The crash filter (module vbwProtector): processor faults reported through
// the error trap.
//
// installCrashFilter, called once at start-up, registers the filter. A
// fault (an access violation, a division by zero, a stack overflow, ...) is
// then named by its exception code and raised as error 65535 with that name
// as description into the trapped statement that was running, whose trap
// reports it and offers Abort, Retry and Ignore like any run-time error.
//
// On POSIX the fault signals stand in for the filter: SIGSEGV, SIGBUS, SIGFPE,
// SIGILL and SIGTRAP are mapped to the exception code of the corresponding
// fault (fault_signals.h) and handed to reportFault.
//
// A fault while no trapped statement runs cannot be offered to anyone: the
// filter writes the report to standard error, naming itself as the location
// and line 0, and ends the process with kUnhandledExceptionExitStatus.
#pragma once

#include <cstdint>
#include <string>

namespace varnok::errortrap {

// One exception, as the platform's exception dispatch describes it.
struct ExceptionRecord {
  uint32_t ExceptionCode = 0;
  // The exception this one was raised while handling, or null. The filter
  // names the last record of the chain.
  const ExceptionRecord* associated = nullptr;
  // Where the fault happened, when known (the faulting data address for
  // memory faults, the instruction otherwise).
  const void* ExceptionAddress = nullptr;
};

// What the filter is handed: the exception and the processor context at the
// fault (a ucontext_t on POSIX; the filter does not use it).
struct ExceptionInformation {
  const ExceptionRecord* record = nullptr;
  const void* context = nullptr;
};

// The exception codes the filter has texts for.
namespace exception_code {
inline constexpr uint32_t GuardPage = 0x80000001;
inline constexpr uint32_t DatatypeMisalignment = 0x80000002;
inline constexpr uint32_t Breakpoint = 0x80000003;
inline constexpr uint32_t SingleStep = 0x80000004;
inline constexpr uint32_t AccessViolation = 0xC0000005;
inline constexpr uint32_t InPageError = 0xC0000006;
inline constexpr uint32_t InvalidHandle = 0xC0000008;
inline constexpr uint32_t IllegalInstruction = 0xC000001D;
inline constexpr uint32_t NoncontinuableException = 0xC0000025;
inline constexpr uint32_t InvalidDisposition = 0xC0000026;
inline constexpr uint32_t ArrayBoundsExceeded = 0xC000008C;
inline constexpr uint32_t FloatDenormalOperand = 0xC000008D;
inline constexpr uint32_t FloatDivideByZero = 0xC000008E;
inline constexpr uint32_t FloatInexactResult = 0xC000008F;
inline constexpr uint32_t FloatInvalidOperation = 0xC0000090;
inline constexpr uint32_t FloatOverflow = 0xC0000091;
inline constexpr uint32_t FloatStackCheck = 0xC0000092;
inline constexpr uint32_t FloatUnderflow = 0xC0000093;
inline constexpr uint32_t IntegerDivideByZero = 0xC0000094;
inline constexpr uint32_t IntegerOverflow = 0xC0000095;
inline constexpr uint32_t PrivilegedInstruction = 0xC0000096;
inline constexpr uint32_t StackOverflow = 0xC00000FD;
inline constexpr uint32_t ControlCExit = 0xC000013A;
}  // namespace exception_code

// The exit status of a process that faulted while no trapped statement ran
// (EX_SOFTWARE of sysexits.h). Distinct from the statuses of an ordinary
// run and from kAbortExitStatus, the operator's Abort.
inline constexpr int kUnhandledExceptionExitStatus = 70;

inline constexpr const char* kCrashFilterModule = "vbwProtector";

// Registers the filter, once per process; later calls do nothing. Runs under
// its own trap.
void installCrashFilter();

// Registers the filter (the fault signals' handlers on an alternate signal
// stack), replacing whatever handlers were registered. Runs under its own
// trap. Called by installCrashFilter on its first call only. The
// alternate stack belongs to the calling thread, the user-interface thread:
// only there can a stack overflow be reported.
void registerCrashFilter();

// Names the last exception of the chain and raises error 65535 with that
// name into the innermost trapped statement running on this thread. Never
// returns. No trap of its own; async-signal-safe.
[[noreturn]] void reportFault(const ExceptionInformation* information);

// The text for an exception code: "Exception: ..." for the codes above,
// "Unknown Exception" for any other. No trap of its own.
std::string exceptionText(uint32_t code);

// The same text without allocating, for the signal path.
const char* exceptionTextOf(uint32_t code) noexcept;

// How many times this process registered the filter.
int crashFilterRegistrations() noexcept;

}  // namespace varnok::errortrap
