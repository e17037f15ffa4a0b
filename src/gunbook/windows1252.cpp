#include "gunbook/windows1252.h"

#include <array>

namespace varnok::gunbook {
namespace {

// Code points of the bytes 0x80 to 0x9F. The five bytes Windows-1252 leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the C1 control of the
// same value, so that no book byte is lost on the way to UTF-8 and back.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

char32_t codePointOf(unsigned char byte) {
  return byte >= 0x80 && byte <= 0x9F ? kHighControls[byte - 0x80] : char32_t{byte};
}

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    // Every code point of the table lies below 0x10000.
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

}  // namespace

Utf8Char decodeUtf8(std::string_view utf8, std::size_t offset) {
  const auto at = [&](std::size_t i) { return static_cast<unsigned char>(utf8[offset + i]); };
  const unsigned char lead = at(0);
  if (lead < 0x80) return {lead, 1, true};

  std::size_t need;
  char32_t cp;
  // Bounds of the second byte exclude overlong forms, surrogates and code
  // points past U+10FFFF (the table of well-formed sequences in Unicode 3.9).
  unsigned char low = 0x80, high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    need = 1, cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    need = 2, cp = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    need = 3, cp = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return {0, 1, false};
  }
  std::size_t length = 1;
  for (std::size_t i = 1; i <= need; ++i) {
    if (offset + i >= utf8.size()) return {0, length, false};
    const unsigned char byte = at(i);
    const bool fits = i == 1 ? byte >= low && byte <= high : isContinuation(byte);
    if (!fits) return {0, length, false};
    cp = cp << 6 | (byte & 0x3F);
    ++length;
  }
  return {cp, length, true};
}

std::optional<unsigned char> windows1252Byte(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<unsigned char>(cp);
  for (std::size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] == cp) return static_cast<unsigned char>(0x80 + i);
  }
  return std::nullopt;
}

std::string toWindows1252(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const Utf8Char c = decodeUtf8(utf8, i);
    const auto byte = c.valid ? windows1252Byte(c.codePoint) : std::nullopt;
    out += byte ? static_cast<char>(*byte) : '?';
    i += c.length;
  }
  return out;
}

std::optional<std::string> toWindows1252Strict(std::string_view utf8, std::size_t* badOffset) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const Utf8Char c = decodeUtf8(utf8, i);
    const auto byte = c.valid ? windows1252Byte(c.codePoint) : std::nullopt;
    if (!byte) {
      if (badOffset) *badOffset = i;
      return std::nullopt;
    }
    out += static_cast<char>(*byte);
    i += c.length;
  }
  return out;
}

std::string fromWindows1252(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char byte : bytes) appendUtf8(out, codePointOf(static_cast<unsigned char>(byte)));
  return out;
}

char upperWindows1252(char c) {
  const auto b = static_cast<unsigned char>(c);
  if (b >= 'a' && b <= 'z') return static_cast<char>(b - 0x20);
  if (b >= 0xE0 && b <= 0xFE && b != 0xF7) return static_cast<char>(b - 0x20);
  switch (b) {
    case 0x9A: return static_cast<char>(0x8A);  // š
    case 0x9C: return static_cast<char>(0x8C);  // œ
    case 0x9E: return static_cast<char>(0x8E);  // ž
    case 0xFF: return static_cast<char>(0x9F);  // ÿ
    default: return c;
  }
}

std::string trimmedUpperCase(std::string_view bookText) {
  const auto first = bookText.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  std::string upper(bookText.substr(first, bookText.find_last_not_of(' ') - first + 1));
  for (char& c : upper) c = upperWindows1252(c);
  return upper;
}

}  // namespace varnok::gunbook
