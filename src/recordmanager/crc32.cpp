#include "recordmanager/crc32.h"

#include <array>

namespace varnok::rm {
namespace {

// Eight tables so that eight bytes are folded in per step (slicing by
// eight): every entry of a book is checked on every Open.
using Tables = std::array<std::array<uint32_t, 256>, 8>;

constexpr Tables makeTables() {
  Tables t{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[0][i] = c;
  }
  for (uint32_t i = 0; i < 256; ++i)
    for (std::size_t k = 1; k < t.size(); ++k) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
  return t;
}

constexpr Tables kTables = makeTables();

uint32_t littleEndian32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace

uint32_t crc32(const uint8_t* data, std::size_t length) {
  uint32_t c = 0xFFFFFFFFu;
  std::size_t i = 0;
  for (; i + 8 <= length; i += 8) {
    const uint32_t low = c ^ littleEndian32(data + i);
    const uint32_t high = littleEndian32(data + i + 4);
    c = kTables[7][low & 0xFF] ^ kTables[6][(low >> 8) & 0xFF] ^ kTables[5][(low >> 16) & 0xFF] ^
        kTables[4][low >> 24] ^ kTables[3][high & 0xFF] ^ kTables[2][(high >> 8) & 0xFF] ^
        kTables[1][(high >> 16) & 0xFF] ^ kTables[0][high >> 24];
  }
  for (; i < length; ++i) c = kTables[0][(c ^ data[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

}  // namespace varnok::rm
