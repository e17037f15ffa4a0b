// Book text is 8-bit Windows-1252; texts from outside (the window, the
// command line, CSV files) are UTF-8.
// Ours rather than iconv's: one fixed table, a byte-exact round trip and a
// refusal that names the first character a book cannot hold.
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

// One UTF-8 character at `offset` (which must lie inside the text): its code
// point and length in bytes. A malformed sequence gives valid = false and
// the length of its longest well-formed start, at least 1, so that decoding
// goes on after it.
struct Utf8Char {
  char32_t codePoint = 0;
  std::size_t length = 1;
  bool valid = false;
};
Utf8Char decodeUtf8(std::string_view utf8, std::size_t offset);

// The Windows-1252 byte that holds a code point, or nothing.
std::optional<unsigned char> windows1252Byte(char32_t codePoint);

// Upper case in Windows-1252: ASCII letters and the accented ones. Most
// accented small letters sit 0x20 above their capital; š, œ, ž and ÿ do
// not, and ß has no capital.
char upperWindows1252(char c);
// Book text without its leading and trailing blanks, upper-cased: the
// prefix as the rebase puts it in front of Field06.
std::string trimmedUpperCase(std::string_view bookText);

}  // namespace varnok::gunbook
