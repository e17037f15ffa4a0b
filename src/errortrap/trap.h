// The procedure error trap.
//
// Every procedure of the conversion, the gun book routines and the window
// arms a Trap as its first statement and runs each statement that can fail
// through it:
//
//   Trap T("Brelmark", "ConvertOld", &view);
//   T([&] { BtrStatus = Gun.call(rm, rm::op::Open); });
//
// When a statement raises a run-time error (a RunTimeError, any other
// exception, or a processor fault delivered by the crash filter), the trap
// shows the four-line report and acts on the operator's answer:
//   Abort  - the process ends at once with kAbortExitStatus; nothing else
//            runs, no destructor, no close of open books;
//   Retry  - the same statement runs again with the state as it now is;
//   Ignore - execution goes on after the statement; its effect is missing.
// The caller of the procedure never learns of the error.
//
// A processor fault (a bad pointer, a division by zero) inside a trapped
// statement comes back to its trap by siglongjmp: every C++ frame between
// the fault and the trap is abandoned without its destructors, and locks,
// allocations or half-updated objects held there stay as they were. That is
// sound for the conversion's own statements, which hold nothing across a
// call. It is not sound inside a Qt call: Qt's frames own widgets, event
// state and locks, and after such a jump the toolkit may be left
// inconsistent. So the window must not run Qt work inside a trapped
// statement beyond the single view call the conversion makes (set a text,
// show a message box), must not open event loops (QEventLoop, exec(), a
// modal dialog other than the report itself) from within one, and after a
// report of error 65535 answered Retry or Ignore should tell the operator to
// check both books and leave the program soon rather than trust its state.
#pragma once

#include <csetjmp>
#include <cstdint>
#include <memory>
#include <source_location>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "errortrap/runtime_error.h"

namespace varnok::errortrap {

enum class Answer { Abort, Retry, Ignore };

// Shows an error report and returns the operator's choice. The window and
// the command line implement it; the report box has Abort (the default),
// Retry and Ignore, no icon, and the title "Varnok".
class ErrorReporter {
 public:
  virtual ~ErrorReporter() = default;
  virtual Answer errorReport(const std::string& message) = 0;
};

inline constexpr std::string_view kProjectName = "Project1";
inline constexpr int kAbortExitStatus = 3;

// The report's four lines joined by CR LF, with no line break after the last:
//   Error <number> / <description> / Location: Project1.<module>.<procedure> /
//   Line <line>
std::string formatErrorReport(int32_t number, std::string_view description,
                              std::string_view module, std::string_view procedure,
                              uint32_t line);

// The reporter of traps that name none and run inside no other trap. With
// none set, reports go to standard error and are answered with Abort.
void setDefaultReporter(ErrorReporter* reporter);
ErrorReporter* defaultReporter();

// Makes `reporter` the default reporter for its own lifetime and puts the
// one before it back when it ends.
class ScopedDefaultReporter {
 public:
  explicit ScopedDefaultReporter(ErrorReporter* reporter) : previous_(defaultReporter()) {
    setDefaultReporter(reporter);
  }
  ~ScopedDefaultReporter() { setDefaultReporter(previous_); }
  ScopedDefaultReporter(const ScopedDefaultReporter&) = delete;
  ScopedDefaultReporter& operator=(const ScopedDefaultReporter&) = delete;

 private:
  ErrorReporter* previous_;
};

// Ends the process at once after flushing what was already written.
[[noreturn]] void abortProgram();

// Where a processor fault raised inside a trapped statement lands. The crash
// filter jumps to the innermost landing with the exception code set; the
// trap that owns it then reports error 65535 with the code's text.
struct FaultLanding {
  sigjmp_buf target;
  FaultLanding* outer = nullptr;
  const class Trap* trap = nullptr;
  volatile uint32_t exceptionCode = 0;
};

// The landing of the innermost trapped statement running on this thread, or
// null when no trapped statement runs.
FaultLanding* currentFaultLanding() noexcept;

// Turns an exception code into its text; set by the crash filter when it is
// installed (until then a fault landing's code reads "Unknown Exception").
using ExceptionTextFunction = std::string (*)(uint32_t code);
void setExceptionTextFunction(ExceptionTextFunction function) noexcept;

class Trap {
 public:
  // reporter: who shows this trap's reports; null takes the reporter of the
  // enclosing trapped statement, or the default reporter.
  Trap(std::string_view module, std::string_view procedure,
       ErrorReporter* reporter = nullptr);
  Trap(const Trap&) = delete;
  Trap& operator=(const Trap&) = delete;

  // Runs one statement under the trap. `where` names its source line.
  template <class Statement>
  void operator()(Statement&& statement,
                  std::source_location where = std::source_location::current()) {
    auto thunk = [](void* p) { (*static_cast<std::remove_reference_t<Statement>*>(p))(); };
    // The thunk restores the statement's own constness.
    void* context = const_cast<void*>(static_cast<const volatile void*>(std::addressof(statement)));
    while (!runOnce(thunk, context, where.line())) {
    }
  }

  // Evaluates one expression under the trap; after Ignore the result is the
  // value-initialised R.
  template <class Expression>
  auto eval(Expression&& expression,
            std::source_location where = std::source_location::current()) {
    using R = std::invoke_result_t<Expression&>;
    R result{};
    (*this)([&] { result = expression(); }, where);
    return result;
  }

  std::string_view module() const { return module_; }
  std::string_view procedure() const { return procedure_; }
  ErrorReporter& reporter() const { return *reporter_; }

 private:
  struct Failure {
    int32_t number = 0;
    std::string description;
  };

  // One attempt of a statement and, when it fails, the report and the
  // operator's answer. True when the statement is done with (it ran, or it
  // is ignored); false when it must run again.
  bool runOnce(void (*statement)(void*), void* context, uint32_t line);
  bool runGuarded(void (*statement)(void*), void* context, Failure& failure);

  std::string module_;
  std::string procedure_;
  ErrorReporter* reporter_;
};

// A procedure's trap as a shared helper receives it. The helper's
// statements run under the procedure's trap and are reported at the line of
// the procedure's call into the helper, one of the procedure's own lines,
// never at a line of the helper that every procedure shares. Made where a
// procedure hands its Trap to a helper taking a CallerTrap; handed on from
// helper to helper it keeps the procedure's line.
class CallerTrap {
 public:
  CallerTrap(Trap& trap, std::source_location call = std::source_location::current())
      : trap_(trap), call_(call) {}

  template <class Statement>
  void operator()(Statement&& statement) const {
    trap_(std::forward<Statement>(statement), call_);
  }
  template <class Expression>
  auto eval(Expression&& expression) const {
    return trap_.eval(std::forward<Expression>(expression), call_);
  }

  uint32_t line() const { return call_.line(); }

 private:
  Trap& trap_;
  std::source_location call_;
};

}  // namespace varnok::errortrap
