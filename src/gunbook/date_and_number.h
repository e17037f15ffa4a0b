// Date and number conversions shared by the book passes (module Myroutines1).
#pragma once

#include <cstdint>
#include <string>

namespace varnok::gunbook {

// The window's date text (MM/DD/YYYY) in book date form (YYYYMMDD): the last
// four characters, then characters 1-2, then 4-5. Positions only; the text is
// never parsed, and parts past the end of a short text give what exists.
std::string bookDateFromFormDate(std::string text);  // nue

// The 32-bit little-endian integer in the four bytes at `position`.
int32_t int32FromLittleEndian(const uint8_t* position);  // ConvBTI_long

}  // namespace varnok::gunbook
