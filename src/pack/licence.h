// A federal firearms licence number as the pack prints it: 15 characters in
// six groups, X-XX-XXX-XX-XX-XXXXX.
#pragma once

#include <string>
#include <string_view>

namespace varnok::pack {

// Checks `text` (blanks before and after ignored): 15 characters in groups
// of 1, 2, 3, 2, 2 and 5, either all joined by single hyphens or written
// with no hyphen at all; every character a digit but the tenth (the second
// of the fifth group), which is a letter A to Z (a small letter is taken
// as capital). Empty when it reads so, with `hyphened` the number written
// X-XX-XXX-XX-XX-XXXXX; otherwise what is wrong, naming the place.
std::string checkLicenceNumber(std::string_view text, std::string& hyphened);

}  // namespace varnok::pack
