#include "errortrap/fault_signals.h"

#include <pthread.h>
#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "errortrap/crash_filter.h"
#include "errortrap/runtime_error.h"

namespace varnok::errortrap {
namespace {

// How far from the stack pointer a fault still counts as running into the
// guard: a call or push just below it, or the first touch of a frame that was
// just made (large frames are probed page by page, small ones are far
// smaller than this).
constexpr uintptr_t kBelowStackPointer = 4096;
constexpr uintptr_t kAboveStackPointer = 64 * 1024;
// Below the lowest stack address the kernel keeps a gap free of other
// mappings; a fault there is the stack running out.
constexpr uintptr_t kGuardGap = 1024 * 1024;

// The registering thread's stack: the lowest address it may grow to. Only
// the thread that registered the filter has its bounds; any other thread
// relies on the stack pointer alone.
thread_local uintptr_t stackLimit = 0;

void* signalStack = nullptr;
uintptr_t pageSize = 4096;  // the system's, once the handlers are installed

uintptr_t stackPointerOf(const void* context) noexcept {
  if (!context) return 0;
  const auto* uc = static_cast<const ucontext_t*>(context);
#if defined(__x86_64__)
  return static_cast<uintptr_t>(uc->uc_mcontext.gregs[REG_RSP]);
#elif defined(__i386__)
  return static_cast<uintptr_t>(uc->uc_mcontext.gregs[REG_ESP]);
#elif defined(__aarch64__)
  return static_cast<uintptr_t>(uc->uc_mcontext.sp);
#else
  (void)uc;
  return 0;
#endif
}

void noteThreadStack() {
  pthread_attr_t attributes;
  if (pthread_getattr_np(pthread_self(), &attributes) != 0) return;
  void* lowest = nullptr;
  size_t size = 0;
  if (pthread_attr_getstack(&attributes, &lowest, &size) == 0) {
    stackLimit = reinterpret_cast<uintptr_t>(lowest);
  }
  pthread_attr_destroy(&attributes);
}

// Mapped once with a guard page below it: a handler that ran out of this
// stack must not write over what lies beneath.
void prepareSignalStack() {
  if (!signalStack) {
    const long page = sysconf(_SC_PAGESIZE);
    if (page > 0) pageSize = static_cast<uintptr_t>(page);
    const size_t length = kSignalStackSize + pageSize;
    void* mapping =
        mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED) throw RunTimeError(err::OutOfMemory);
    mprotect(mapping, pageSize, PROT_NONE);
    signalStack = static_cast<char*>(mapping) + pageSize;
  }
  stack_t stack{};
  stack.ss_sp = signalStack;
  stack.ss_size = kSignalStackSize;
  stack.ss_flags = 0;
  if (sigaltstack(&stack, nullptr) != 0) {
    throw RunTimeError(err::InternalError,
                       std::string("Cannot set the signal stack: ") + std::strerror(errno));
  }
}

void onFaultSignal(int signal, siginfo_t* info, void* context) {
  const uintptr_t address = reinterpret_cast<uintptr_t>(info->si_addr);
  const bool onGuard =
      signal == SIGSEGV && faultOnStackGuard(address, stackPointerOf(context));
  ExceptionRecord record;
  record.ExceptionCode = exceptionCodeForSignal(signal, info->si_code, onGuard);
  record.ExceptionAddress = info->si_addr;
  const ExceptionInformation information{&record, context};
  reportFault(&information);
}

}  // namespace

uint32_t exceptionCodeForSignal(int signal, int signalCode, bool onStackGuard) noexcept {
  namespace code = exception_code;
  // Codes at or below zero mean the signal was sent, not raised by a fault.
  // On x86 the kernel reports int3 and general-protection faults as
  // SI_KERNEL, which is positive.
  if (signalCode <= 0) return unmappedSignalCode(signal);
  switch (signal) {
    case SIGSEGV:
      return onStackGuard ? code::StackOverflow : code::AccessViolation;
    case SIGBUS:
      switch (signalCode) {
        case BUS_ADRALN: return code::DatatypeMisalignment;
        case BUS_ADRERR:
        case BUS_OBJERR: return code::InPageError;
      }
      break;
    case SIGFPE:
      switch (signalCode) {
        case FPE_INTDIV: return code::IntegerDivideByZero;
        case FPE_INTOVF: return code::IntegerOverflow;
        case FPE_FLTDIV: return code::FloatDivideByZero;
        case FPE_FLTOVF: return code::FloatOverflow;
        case FPE_FLTUND: return code::FloatUnderflow;
        case FPE_FLTRES: return code::FloatInexactResult;
        case FPE_FLTINV: return code::FloatInvalidOperation;
        case FPE_FLTSUB: return code::ArrayBoundsExceeded;
      }
      break;
    case SIGILL:
      return signalCode == ILL_PRVOPC || signalCode == ILL_PRVREG ? code::PrivilegedInstruction
                                                                    : code::IllegalInstruction;
    case SIGTRAP:
      switch (signalCode) {
        case TRAP_BRKPT: return code::Breakpoint;
        case TRAP_TRACE: return code::SingleStep;
#if defined(__x86_64__) || defined(__i386__)
        case SI_KERNEL: return code::Breakpoint;  // the int3 instruction
#endif
      }
      break;
  }
  return unmappedSignalCode(signal);
}

bool faultOnStackGuard(uintptr_t faultAddress, uintptr_t stackPointer) noexcept {
  if (stackPointer != 0 && faultAddress + kBelowStackPointer >= stackPointer &&
      faultAddress < stackPointer + kAboveStackPointer) {
    return true;
  }
  const uintptr_t limit = stackLimit;
  return limit != 0 && faultAddress < limit + pageSize && faultAddress + kGuardGap >= limit;
}

void installFaultSignals() {
  prepareSignalStack();
  noteThreadStack();
  struct sigaction action {};
  action.sa_sigaction = onFaultSignal;
  sigemptyset(&action.sa_mask);
  // SA_NODEFER: the handler leaves by a jump, never by returning, so the
  // signal must not stay blocked or the next fault would kill the process.
  action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
  for (const int signal : kFaultSignals) {
    if (sigaction(signal, &action, nullptr) != 0) {
      throw RunTimeError(err::InternalError, std::string("Cannot register the handler of ") +
                                                 strsignal(signal) + ": " + std::strerror(errno));
    }
  }
}

}  // namespace varnok::errortrap
