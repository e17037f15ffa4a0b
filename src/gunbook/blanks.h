// Book text is padded with blanks; messages and folders want it without.
#pragma once

#include <cstddef>
#include <string_view>

namespace varnok::gunbook {

// The text without its trailing blanks (spaces only).
constexpr std::string_view withoutTrailingBlanks(std::string_view text) {
  const std::size_t end = text.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string_view{} : text.substr(0, end + 1);
}

}  // namespace varnok::gunbook
