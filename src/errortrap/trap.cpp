#include "errortrap/trap.h"

#include <unistd.h>

#include <cstdio>
#include <new>

namespace varnok::errortrap {
namespace {

class StandardErrorReporter final : public ErrorReporter {
 public:
  Answer errorReport(const std::string& message) override {
    std::fprintf(stderr, "%s\n", message.c_str());
    return Answer::Abort;
  }
};

StandardErrorReporter standardErrorReporter;
ErrorReporter* processReporter = nullptr;
thread_local FaultLanding* innermostLanding = nullptr;
ExceptionTextFunction exceptionText = nullptr;

}  // namespace

std::string formatErrorReport(int32_t number, std::string_view description,
                              std::string_view module, std::string_view procedure,
                              uint32_t line) {
  std::string report = "Error " + std::to_string(number) + "\r\n";
  report += description;
  report += "\r\nLocation: ";
  report += kProjectName;
  report += '.';
  report += module;
  report += '.';
  report += procedure;
  report += "\r\nLine " + std::to_string(line);
  return report;
}

void setDefaultReporter(ErrorReporter* reporter) { processReporter = reporter; }

ErrorReporter* defaultReporter() {
  return processReporter ? processReporter : &standardErrorReporter;
}

void abortProgram() {
  std::fflush(nullptr);
  _exit(kAbortExitStatus);
}

FaultLanding* currentFaultLanding() noexcept { return innermostLanding; }

void setExceptionTextFunction(ExceptionTextFunction function) noexcept {
  exceptionText = function;
}

Trap::Trap(std::string_view module, std::string_view procedure, ErrorReporter* reporter)
    : module_(module), procedure_(procedure), reporter_(reporter) {
  if (!reporter_) {
    reporter_ = innermostLanding ? &innermostLanding->trap->reporter() : defaultReporter();
  }
}

bool Trap::runOnce(void (*statement)(void*), void* context, uint32_t line) {
  Failure failure;
  if (runGuarded(statement, context, failure)) return true;
  const std::string report =
      formatErrorReport(failure.number, failure.description, module_, procedure_, line);
  switch (reporter_->errorReport(report)) {
    case Answer::Abort: abortProgram();
    case Answer::Retry: return false;
    case Answer::Ignore: return true;
  }
  return true;
}

// Kept out of line: the jump buffer must belong to a frame that is still live
// when the crash filter jumps to it.
[[gnu::noinline]] bool Trap::runGuarded(void (*statement)(void*), void* context,
                                        Failure& failure) {
  FaultLanding landing;
  landing.outer = innermostLanding;
  landing.trap = this;
  if (sigsetjmp(landing.target, 0) != 0) {
    // Back from a processor fault. Landings of statements that were running
    // deeper down are gone with their frames.
    innermostLanding = landing.outer;
    failure.number = err::ProcessorException;
    failure.description =
        exceptionText ? exceptionText(landing.exceptionCode) : std::string("Unknown Exception");
    return false;
  }
  innermostLanding = &landing;
  bool completed = false;
  try {
    statement(context);
    completed = true;
  } catch (const RunTimeError& error) {
    failure.number = error.number();
    failure.description = error.description();
  } catch (const std::bad_alloc&) {
    failure.number = err::OutOfMemory;
    failure.description = standardDescription(err::OutOfMemory);
  } catch (const std::exception& error) {
    failure.number = err::InternalError;
    failure.description = error.what();
  } catch (...) {
    failure.number = err::InternalError;
    failure.description = standardDescription(err::InternalError);
  }
  innermostLanding = landing.outer;
  return completed;
}

}  // namespace varnok::errortrap
