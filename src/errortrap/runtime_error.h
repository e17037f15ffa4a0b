// Run-time errors as the error trap reports them: a number and a description.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace varnok::errortrap {

// Error numbers. The classic run time's numbers are kept where one fits, so
// that reports read as operators of the store program know them.
namespace err {
inline constexpr int32_t InvalidProcedureCall = 5;
inline constexpr int32_t Overflow = 6;
inline constexpr int32_t OutOfMemory = 7;
inline constexpr int32_t SubscriptOutOfRange = 9;
inline constexpr int32_t DivisionByZero = 11;
inline constexpr int32_t TypeMismatch = 13;
inline constexpr int32_t InternalError = 51;
// A write that the record manager refused; the description names the
// operation, the status and the entry. One number per operation.
inline constexpr int32_t RecordManagerClose = 30001;
inline constexpr int32_t RecordManagerInsert = 30002;
inline constexpr int32_t RecordManagerUpdate = 30003;
inline constexpr int32_t RecordManagerDelete = 30004;
// A processor fault turned into an error by the crash filter.
inline constexpr int32_t ProcessorException = 65535;
}  // namespace err

// The run time's own description for one of its error numbers; empty for a
// number it has no text for.
std::string standardDescription(int32_t number);

class RunTimeError : public std::exception {
 public:
  // An error with the run time's standard description for its number.
  explicit RunTimeError(int32_t number);
  RunTimeError(int32_t number, std::string description);

  int32_t number() const noexcept { return number_; }
  const std::string& description() const noexcept { return description_; }
  const char* what() const noexcept override { return description_.c_str(); }

 private:
  int32_t number_;
  std::string description_;
};

// 32-bit signed arithmetic that raises Overflow instead of wrapping around.
int32_t checkedAdd(int32_t a, int32_t b);
int32_t checkedSub(int32_t a, int32_t b);

}  // namespace varnok::errortrap
