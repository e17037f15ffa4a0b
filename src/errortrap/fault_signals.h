// Fault signals standing in for the filter (POSIX): each fault signal is turned into
// the exception code of the corresponding processor exception and handed to
// reportFault.
#pragma once

#include <csignal>
#include <cstddef>
#include <cstdint>

namespace varnok::errortrap {

// The signals the filter takes over.
inline constexpr int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP};

// Handlers run on an alternate stack of this size, so that a stack overflow
// can still be reported.
inline constexpr std::size_t kSignalStackSize = 256 * 1024;

// A code outside the exception table, for a signal with no corresponding
// exception: bit 29 marks it as ours, the low byte holds the signal.
constexpr uint32_t unmappedSignalCode(int signal) noexcept {
  return 0xE0000000u | (static_cast<uint32_t>(signal) & 0xFFu);
}

// The exception code for a fault signal with its si_code. onStackGuard: a
// SIGSEGV whose address lies on the stack's guard region (a stack overflow).
// Signals sent by a process (kill, raise) are no fault and map to no code of
// the table.
uint32_t exceptionCodeForSignal(int signal, int signalCode, bool onStackGuard) noexcept;

// Whether a SIGSEGV at faultAddress, taken with the stack pointer at
// stackPointer (0 when unknown), is a stack overflow: the address is next to
// the stack pointer, or on the guard region below the lowest address the
// faulting thread's stack may grow to (known for the thread that registered
// the filter).
bool faultOnStackGuard(uintptr_t faultAddress, uintptr_t stackPointer) noexcept;

// Registers the handlers of kFaultSignals with an alternate signal stack for
// the calling thread, replacing earlier handlers. Throws RunTimeError when
// the system refuses.
void installFaultSignals();

}  // namespace varnok::errortrap
