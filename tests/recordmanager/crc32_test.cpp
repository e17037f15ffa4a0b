// The entries' checksum is the CRC-32 that zip and PNG use, so that a book's
// checksums can be verified with any tool.
#include <gtest/gtest.h>

#include <string>

#include "recordmanager/crc32.h"

namespace varnok::rmtest {
namespace {

uint32_t crcOf(const std::string& text) {
  return rm::crc32(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

// Bit by bit, straight from the polynomial.
uint32_t reference(const std::string& text) {
  uint32_t c = 0xFFFFFFFFu;
  for (unsigned char byte : text) {
    c ^= byte;
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
  }
  return c ^ 0xFFFFFFFFu;
}

TEST(Crc32, IsTheCrcOfZipAndPng) {
  EXPECT_EQ(crcOf(""), 0u);
  EXPECT_EQ(crcOf("123456789"), 0xCBF43926u);
  EXPECT_EQ(crcOf("The quick brown fox jumps over the lazy dog"), 0x414FA339u);
  // Every length around the widths folded in at once, up to an entry's.
  std::string text;
  for (int n = 0; n <= 376; ++n) {
    EXPECT_EQ(crcOf(text), reference(text)) << n << " bytes";
    text += char(n * 37 + 11);
  }
}

}  // namespace
}  // namespace varnok::rmtest
