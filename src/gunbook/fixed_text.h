// A fixed-width text field of a gun record.
//
// Every assignment is fixed-width: the value is placed from the first
// character, padded on the right with blanks, or cut at the width. The bytes
// are the book's own (Windows-1252); comparisons are ordinal on the byte
// values, case-sensitive, with no trimming.
#pragma once

#include <algorithm>
#include <array>
#include <compare>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace varnok::gunbook {

template <std::size_t N>
class FixedText {
 public:
  static constexpr std::size_t width = N;

  FixedText() { bytes_.fill(' '); }
  FixedText(std::string_view value) { assign(value); }  // NOLINT: fixed-width assignment
  FixedText(const char* value) { assign(value); }       // NOLINT
  FixedText& operator=(std::string_view value) {
    assign(value);
    return *this;
  }
  FixedText& operator=(const char* value) {
    assign(value);
    return *this;
  }

  void assign(std::string_view value) {
    const std::size_t n = std::min(value.size(), N);
    std::memcpy(bytes_.data(), value.data(), n);
    std::fill(bytes_.begin() + n, bytes_.end(), ' ');
  }

  std::string_view view() const { return {bytes_.data(), N}; }
  std::string str() const { return std::string(view()); }
  // The first n characters (all of them when n is past the width).
  std::string_view left(std::size_t n) const { return view().substr(0, std::min(n, N)); }
  const char* data() const { return bytes_.data(); }
  char* data() { return bytes_.data(); }

  friend bool operator==(const FixedText&, const FixedText&) = default;
  friend std::strong_ordering operator<=>(const FixedText& a, const FixedText& b) {
    return a.view().compare(b.view()) <=> 0;
  }
  friend bool operator==(const FixedText& a, std::string_view b) { return a.view() == b; }
  friend std::strong_ordering operator<=>(const FixedText& a, std::string_view b) {
    return a.view().compare(b) <=> 0;
  }
  // A literal compares as the field it would make when assigned: padded
  // with blanks to the width, so Status == "SOLD" holds after
  // Status = "SOLD". A literal longer than the width is compared whole and so
  // never equals the field. (A string_view compares as it is.) Without these
  // a literal would convert both to FixedText and to string_view: ambiguous.
  friend bool operator==(const FixedText& a, const char* b) { return a.view() == padded(b); }
  friend std::strong_ordering operator<=>(const FixedText& a, const char* b) {
    return a.view().compare(padded(b)) <=> 0;
  }

 private:
  static std::string padded(std::string_view value) {
    std::string text(value);
    if (text.size() < N) text.append(N - text.size(), ' ');
    return text;
  }

  std::array<char, N> bytes_;
};

}  // namespace varnok::gunbook
