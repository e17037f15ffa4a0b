#include "cli/date_shape.h"

#include <regex>

namespace varnok::cli {

std::string checkDateShape(const std::string& text) {
  static const std::regex shape("[0-9]{2}/[0-9]{2}/[0-9]{4}");
  if (std::regex_match(text, shape)) return {};
  return "the date must be given as MM/DD/YYYY (two digits, slash, two digits, slash, four "
         "digits), e.g. 06/30/2025; got \"" + text + "\"";
}

}  // namespace varnok::cli
