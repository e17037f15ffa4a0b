// The conversion date the conversion tests use, typed and in book form, and
// the dates around it.
#pragma once

#include <string>

namespace varnok::testing {

inline constexpr const char* kDateTyped = "03/15/2004";
inline constexpr const char* kD = "20040315";
inline constexpr const char* kDayBefore = "20040314";
inline constexpr const char* kDayAfter = "20040316";
inline constexpr const char* kLater = "20040620";
inline const std::string kBlankDate(8, ' ');

}  // namespace varnok::testing
