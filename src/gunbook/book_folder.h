// Book folders as the operator types them, and the book file in each.
#pragma once

#include <string>
#include <string_view>

namespace varnok::gunbook {

inline constexpr std::string_view kBookFileName = "FILE3.DAT ";

// Trailing blanks removed; then, when the text ends in neither '\' nor '/',
// the separator the folder already uses is appended: '/' when it holds a '/'
// and no '\', otherwise '\'. An empty folder becomes "\".
std::string normaliseFolder(std::string_view typed);

// The text of a normalised folder followed by "FILE3.DAT " (one blank): what
// Open takes in its key buffer.
std::string bookFileKey(std::string_view normalisedFolder);

}  // namespace varnok::gunbook
