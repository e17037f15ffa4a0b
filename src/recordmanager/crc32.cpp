#include "recordmanager/crc32.h"

#include <array>

namespace varnok::rm {
namespace {

// Four tables so that a word is folded in per step (slicing by four): a
// large book is checked whole on every Open.
using Tables = std::array<std::array<uint32_t, 256>, 4>;

constexpr Tables makeTables() {
  Tables t{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[0][i] = c;
  }
  for (uint32_t i = 0; i < 256; ++i)
    for (int k = 1; k < 4; ++k) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
  return t;
}

constexpr Tables kTables = makeTables();

}  // namespace

uint32_t crc32(const uint8_t* data, std::size_t length) {
  uint32_t c = 0xFFFFFFFFu;
  std::size_t i = 0;
  for (; i + 4 <= length; i += 4) {
    c ^= uint32_t(data[i]) | uint32_t(data[i + 1]) << 8 | uint32_t(data[i + 2]) << 16 |
         uint32_t(data[i + 3]) << 24;
    c = kTables[3][c & 0xFF] ^ kTables[2][(c >> 8) & 0xFF] ^ kTables[1][(c >> 16) & 0xFF] ^
        kTables[0][c >> 24];
  }
  for (; i < length; ++i) c = kTables[0][(c ^ data[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

}  // namespace varnok::rm
