#include "errortrap/crash_filter.h"

#include <unistd.h>

#include <cerrno>
#include <csetjmp>
#include <string_view>

#include "errortrap/fault_signals.h"
#include "errortrap/trap.h"

namespace varnok::errortrap {
namespace {

struct ExceptionName {
  uint32_t code;
  const char* text;
};

constexpr ExceptionName kExceptionNames[] = {
    {exception_code::GuardPage, "Exception: Guard Page"},
    {exception_code::DatatypeMisalignment, "Exception: Datatype Misalignment"},
    {exception_code::Breakpoint, "Exception: Breakpoint"},
    {exception_code::SingleStep, "Exception: Single Step"},
    {exception_code::AccessViolation, "Exception: Access Violation"},
    {exception_code::InPageError, "Exception: In Page Error"},
    {exception_code::InvalidHandle, "Exception: Invalid Handle"},
    {exception_code::IllegalInstruction, "Exception: Illegal Instruction"},
    {exception_code::NoncontinuableException, "Exception: Non Continuable Exception"},
    {exception_code::InvalidDisposition, "Exception: Invalid Disposition"},
    {exception_code::ArrayBoundsExceeded, "Exception: Array Bounds Exceeded"},
    {exception_code::FloatDenormalOperand, "Exception: Float Denormal Operand"},
    {exception_code::FloatDivideByZero, "Exception: Float Divide By Zero"},
    {exception_code::FloatInexactResult, "Exception: Float Inexact Result"},
    {exception_code::FloatInvalidOperation, "Exception: Float Invalid Operation"},
    {exception_code::FloatOverflow, "Exception: Float Overflow"},
    {exception_code::FloatStackCheck, "Exception: Float Stack Check"},
    {exception_code::FloatUnderflow, "Exception: Float Underflow"},
    {exception_code::IntegerDivideByZero, "Exception: Integer Divide By Zero"},
    {exception_code::IntegerOverflow, "Exception: Integer Overflow"},
    {exception_code::PrivilegedInstruction, "Exception: Priv Instruction"},
    {exception_code::StackOverflow, "Exception: Stack Overflow"},
    {exception_code::ControlCExit, "Exception: Control C Exit"},
};

constexpr const char* kUnknownException = "Unknown Exception";

// A chain longer than this is taken to be corrupt (a record linking back to
// an earlier one); the walk stops rather than spin inside a signal handler.
constexpr int kLongestChain = 64;

bool protectorInstalled = false;  // the once-flag
int filterRegistrations = 0;

// A fixed buffer filled without allocating, for the signal path.
class ReportBuffer {
 public:
  void append(std::string_view text) noexcept {
    for (const char c : text) {
      if (length_ < sizeof(buffer_)) buffer_[length_++] = c;
    }
  }
  void appendNumber(uint32_t number) noexcept {
    char digits[10];
    int count = 0;
    do {
      digits[count++] = static_cast<char>('0' + number % 10);
      number /= 10;
    } while (number != 0);
    while (count > 0) append(std::string_view(&digits[--count], 1));
  }
  void writeTo(int fd) const noexcept {
    size_t written = 0;
    while (written < length_) {
      const ssize_t n = write(fd, buffer_ + written, length_ - written);
      if (n > 0) {
        written += static_cast<size_t>(n);
      } else if (n < 0 && errno != EINTR) {
        return;
      }
    }
  }

 private:
  char buffer_[512];
  size_t length_ = 0;
};

// No trapped statement runs, so nobody can be asked: the report goes to
// standard error in the trap's four lines (the filter itself as location,
// line 0 as no numbered line of a procedure ran) and the process ends.
[[noreturn]] void endUnhandled(uint32_t code) noexcept {
  ReportBuffer report;
  report.append("Error ");
  report.appendNumber(static_cast<uint32_t>(err::ProcessorException));
  report.append("\r\n");
  report.append(exceptionTextOf(code));
  report.append("\r\nLocation: ");
  report.append(kProjectName);
  report.append(".");
  report.append(kCrashFilterModule);
  report.append(".vbwExceptionFilter\r\nLine 0\n");
  report.writeTo(STDERR_FILENO);
  _exit(kUnhandledExceptionExitStatus);
}

}  // namespace

void installCrashFilter() {
  Trap T(kCrashFilterModule, "vbwInitializeProtector");
  if (T.eval([&] { return protectorInstalled; })) return;
  T([&] { registerCrashFilter(); });
  T([&] { protectorInstalled = true; });
}

void registerCrashFilter() {
  Trap T(kCrashFilterModule, "vbwHandleException");
  // The text function first: a fault may arrive as soon as a handler is in.
  T([&] { setExceptionTextFunction(exceptionText); });
  T([&] {
    installFaultSignals();
    ++filterRegistrations;
  });
}

void reportFault(const ExceptionInformation* information) {
  const ExceptionRecord* record = information ? information->record : nullptr;
  for (int hops = 0; record && record->associated && hops < kLongestChain; ++hops) {
    record = record->associated;
  }
  const uint32_t code = record ? record->ExceptionCode : 0;
  FaultLanding* landing = currentFaultLanding();
  if (!landing) endUnhandled(code);
  // The trap turns the code into its text once it is back on its own stack.
  setExceptionTextFunction(exceptionText);
  landing->exceptionCode = code;
  siglongjmp(landing->target, 1);
}

const char* exceptionTextOf(uint32_t code) noexcept {
  for (const auto& name : kExceptionNames) {
    if (name.code == code) return name.text;
  }
  return kUnknownException;
}

std::string exceptionText(uint32_t code) { return exceptionTextOf(code); }

int crashFilterRegistrations() noexcept { return filterRegistrations; }

}  // namespace varnok::errortrap
