// Book text is 8-bit Windows-1252; texts from outside (the window, the
// command line, CSV files) are UTF-8.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace varnok::gunbook {

// UTF-8 to Windows-1252. A character that Windows-1252 cannot hold, or a
// malformed UTF-8 sequence, becomes "?".
std::string toWindows1252(std::string_view utf8);

// The same, but refuses: returns nothing and sets badOffset to the byte
// offset of the first character that cannot be held.
std::optional<std::string> toWindows1252Strict(std::string_view utf8,
                                               std::size_t* badOffset = nullptr);

// Windows-1252 to UTF-8. The five bytes that Windows-1252 leaves undefined
// map to the C1 control characters of the same value, so every byte string
// survives a round trip.
std::string fromWindows1252(std::string_view bytes);

}  // namespace varnok::gunbook
