// What a caller needs to know of a gun book's stored form: the format
// version, the record length and where each key lies in a record.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace varnok::rm {

// Stored in the book; Open refuses a book of any other format version.
inline constexpr int32_t kFormatVersion = 1;

inline constexpr std::size_t kRecordLength = 376;
inline constexpr int kKeyCount = 4;

// Where each key lies in the stored record.
struct KeyPlace {
  std::size_t offset;
  std::size_t length;
};
inline constexpr std::array<KeyPlace, kKeyCount> kKeyPlaces{{
    {0, 15},   // 0: Field00, unique
    {50, 8},   // 1: DateIn
    {15, 12},  // 2: Field01
    {35, 15},  // 3: Field03
}};

}  // namespace varnok::rm
