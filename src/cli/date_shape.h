// The shape of a date typed on the command line.
#pragma once

#include <string>

namespace varnok::cli {

// What the masked date box can hold: two digits, slash, two digits, slash,
// four digits. Empty when the text has that shape; else why not. Whether it
// is a real date is for the command to judge.
std::string checkDateShape(const std::string& text);

}  // namespace varnok::cli
