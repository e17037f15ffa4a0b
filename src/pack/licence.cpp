#include "pack/licence.h"

#include <array>

namespace varnok::pack {
namespace {

constexpr std::array<std::size_t, 6> kGroups = {1, 2, 3, 2, 2, 5};
constexpr std::size_t kCharacters = 15;
constexpr std::size_t kLetterAt = 9;  // 0-based: the second of the fifth group

std::string_view trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// The 15 characters without hyphens, or why the hyphens are misplaced.
std::string joined(std::string_view text, std::string& characters) {
  if (text.find('-') == std::string_view::npos) {
    characters = text;
    return {};
  }
  std::size_t at = 0;
  for (std::size_t group = 0; group < kGroups.size(); ++group) {
    if (group > 0) {
      if (at >= text.size() || text[at] != '-')
        return "group " + std::to_string(group + 1) + " should follow a hyphen";
      ++at;
    }
    const std::size_t end = text.find('-', at);
    const std::size_t length = (end == std::string_view::npos ? text.size() : end) - at;
    if (length != kGroups[group])
      return "group " + std::to_string(group + 1) + " has " + std::to_string(length) +
             " characters, not " + std::to_string(kGroups[group]);
    characters += text.substr(at, length);
    at += length;
  }
  if (at != text.size()) return "there are more than six groups";
  return {};
}

}  // namespace

std::string checkLicenceNumber(std::string_view text, std::string& hyphened) {
  hyphened.clear();
  const std::string_view number = trimmed(text);
  const std::string shape = " (it is written X-XX-XXX-XX-XX-XXXXX: 15 characters, the tenth a "
                            "letter and the rest digits)";
  if (number.empty()) return "the licence number is empty" + shape;
  std::string characters;
  if (std::string why = joined(number, characters); !why.empty())
    return "the licence number \"" + std::string(number) + "\" is not in six groups: " + why + shape;
  if (characters.size() != kCharacters)
    return "the licence number \"" + std::string(number) + "\" has " +
           std::to_string(characters.size()) + " characters, not 15" + shape;
  for (std::size_t i = 0; i < kCharacters; ++i) {
    const char c = characters[i];
    const bool fits = i == kLetterAt ? isLetter(c) : isDigit(c);
    if (!fits)
      return "the licence number \"" + std::string(number) + "\" has " +
             (static_cast<unsigned char>(c) < 0x80 ? "\"" + std::string(1, c) + "\""
                                                   : std::string("a letter beyond ASCII")) +
             " as its character " + std::to_string(i + 1) + ", where a " +
             (i == kLetterAt ? "letter" : "digit") + " belongs" + shape;
  }
  std::size_t at = 0;
  for (std::size_t group = 0; group < kGroups.size(); ++group) {
    if (group > 0) hyphened += '-';
    hyphened += characters.substr(at, kGroups[group]);
    at += kGroups[group];
  }
  if (hyphened[kLetterAt + 4] >= 'a') hyphened[kLetterAt + 4] -= 'a' - 'A';
  return {};
}

}  // namespace varnok::pack
