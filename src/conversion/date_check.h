// The window's date test.
#pragma once

#include <string_view>

namespace varnok::conversion {

// True when the text is a complete month/day/year date, "MM/DD/YYYY" with
// two, two and four digits, that exists in the calendar (02/30/2004 and
// 12/__/2004 are not valid; year 0000 is not valid).
bool isValidDate(std::string_view text);

}  // namespace varnok::conversion
