// Unsigned little-endian numbers of 2 or 4 bytes, as the stored record and
// the record manager's buffers hold them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace varnok::rm {

template <std::size_t Bytes>
uint32_t readLittleEndian(const uint8_t* at) {
  static_assert(Bytes >= 1 && Bytes <= 4);
  uint32_t value = 0;
  for (std::size_t i = Bytes; i-- > 0;) value = value << 8 | at[i];
  return value;
}

template <std::size_t Bytes>
void writeLittleEndian(uint8_t* at, uint32_t value) {
  static_assert(Bytes >= 1 && Bytes <= 4);
  for (std::size_t i = 0; i < Bytes; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace varnok::rm
