// Ways to make the processor fault. Each is kept out of line and out of the
// sanitizers' reach, so that the fault really happens (a sanitizer would
// report it first), and each goes through volatile accesses of values the
// compiler cannot know, so that no optimisation level proves it away: a
// write through a null pointer is undefined behaviour the optimiser may
// simply delete, a volatile write to a page mapped without access is not.
#pragma once

#include <fenv.h>
#include <sys/mman.h>

#include <cstdio>

#define VARNOK_FAULTY __attribute__((noinline, no_sanitize("address", "undefined")))

namespace varnok::testing::faults {

// Results go here too, so that a caller that drops them cannot make the
// optimiser drop the faulting operation.
inline volatile int intSink;
inline volatile double doubleSink;

// A page mapped without read or write access, the same for the whole
// process: every access to it is a SIGSEGV.
inline int* noAccess() {
  static void* const page =
      mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return page == MAP_FAILED ? nullptr : static_cast<int*>(page);
}

// Writes 42 to *target: SIGSEGV when target is noAccess().
VARNOK_FAULTY inline void writeThrough(int* target) {
  volatile int* volatile pointer = target;
  *pointer = 42;
}

// A write to the page without access, `offset` ints into it: SIGSEGV.
VARNOK_FAULTY inline void writeToNoAccess(int offset = 0) { writeThrough(noAccess() + offset); }

// By zero: SIGFPE, FPE_INTDIV (x86 idiv).
VARNOK_FAULTY inline int divide(int dividend, int divisor) {
  volatile int a = dividend;
  volatile int b = divisor;
  intSink = a / b;
  return intSink;
}

// Floating-point division with the divide-by-zero trap enabled: SIGFPE,
// FPE_FLTDIV.
VARNOK_FAULTY inline double divideTrapped(double dividend, double divisor) {
  feenableexcept(FE_DIVBYZERO);
  volatile double a = dividend;
  volatile double b = divisor;
  doubleSink = a / b;
  return doubleSink;
}

// Without end: the stack runs out, SIGSEGV on its guard.
inline volatile int recursionStop = -1;
VARNOK_FAULTY inline int recurse(int depth) {
  volatile char frame[1024];
  frame[depth % 1024] = static_cast<char>(depth);
  if (depth == recursionStop) return frame[0];
  return recurse(depth + 1) + frame[depth % 1024];
}

// ud2: SIGILL, ILL_ILLOPN.
VARNOK_FAULTY inline void illegalInstruction() { __builtin_trap(); }

#if defined(__x86_64__) || defined(__i386__)
// int3: SIGTRAP.
VARNOK_FAULTY inline void breakpoint() { asm volatile("int3"); }
#endif

// A read of a mapped page past the end of its (empty) file: SIGBUS,
// BUS_ADRERR.
VARNOK_FAULTY inline int readPastEndOfFile() {
  FILE* file = std::tmpfile();
  if (!file) return -1;
  void* mapping = mmap(nullptr, 4096, PROT_READ, MAP_PRIVATE, fileno(file), 0);
  if (mapping == MAP_FAILED) return -1;
  const volatile char* byte = static_cast<const char*>(mapping);
  intSink = *byte;
  return intSink;
}

}  // namespace varnok::testing::faults
