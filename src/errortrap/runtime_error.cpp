#include "errortrap/runtime_error.h"

#include <utility>

namespace varnok::errortrap {

std::string standardDescription(int32_t number) {
  switch (number) {
    case err::InvalidProcedureCall: return "Invalid procedure call or argument";
    case err::Overflow: return "Overflow";
    case err::OutOfMemory: return "Out of memory";
    case err::SubscriptOutOfRange: return "Subscript out of range";
    case err::DivisionByZero: return "Division by zero";
    case err::TypeMismatch: return "Type mismatch";
    case err::InternalError: return "Internal error";
    default: return {};
  }
}

RunTimeError::RunTimeError(int32_t number)
    : number_(number), description_(standardDescription(number)) {}

RunTimeError::RunTimeError(int32_t number, std::string description)
    : number_(number), description_(std::move(description)) {}

int32_t checkedAdd(int32_t a, int32_t b) {
  int32_t sum;
  if (__builtin_add_overflow(a, b, &sum)) throw RunTimeError(err::Overflow);
  return sum;
}

int32_t checkedSub(int32_t a, int32_t b) {
  int32_t difference;
  if (__builtin_sub_overflow(a, b, &difference)) throw RunTimeError(err::Overflow);
  return difference;
}

}  // namespace varnok::errortrap
